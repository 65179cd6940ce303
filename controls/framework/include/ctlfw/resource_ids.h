// Resource and control ids shared by the framework's pages and the resource
// scripts of every test control. Plain defines: resource scripts include it.
#pragma once

// Dialog templates of the two pages of a test control's sheet.
#define IDD_CTLFW_INFO_PAGE 102
#define IDD_CTLFW_TEST_PAGE 103

// Information page items.
#define IDC_INFO_ICON 1000
#define IDC_INFO_TEXT 1001
#define IDC_INFO_LIST 1004
#define IDC_INFO_REFRESH 1016
#define IDC_INFO_LOADING 1017
#define IDC_INFO_PROGRESS 1018
#define IDC_INFO_FREEMEM 1019

// Test page items.
#define IDC_TEST_RESULTS 1005
#define IDC_TEST_PROGRESS 1006
#define IDC_TEST_STARTSTOP 1007
#define IDC_TEST_TEXT 1013
#define IDC_TEST_ICON 1015
#define IDC_TEST_CHECKLIST 1023
#define IDC_TEST_SHOWOPTIONS 1024
#define IDC_TEST_INCLUDES 1026

// State pictures of the check list.
#include "infoclient/listbox_ids.h"

// Texts the framework loads by id.
#define IDS_LAST_UPDATED 60
// "Cannot write %s: %s  This run's results are not in it." (a block of
// BNCHMARK.BNH that did not fit).
#define IDS_BENCH_FILE_NOT_WRITTEN 500
