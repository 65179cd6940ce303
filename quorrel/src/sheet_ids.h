// Resource ids of the server's information and configuration-file sheets
// (resource scripts include it).
#pragma once

#define IDD_QUORREL_INFO_PAGE 104
#define IDD_QUORREL_INI_PAGE 202

#define IDI_QUORREL_INFO_SHEET 130
#define IDI_QUORREL_INI 203

// Information page items.
#define IDC_QINFO_LIST 1037
#define IDC_QINFO_TEXT 1038
#define IDC_QINFO_ICON 1039
#define IDC_QINFO_DMI 1052
#define IDC_QINFO_REFRESH 1205
#define IDC_QINFO_LOADING 1206
#define IDC_QINFO_PROGRESS 1207
// Configuration-file page items.
#define IDC_QINI_ICON 1039
#define IDC_QINI_REFRESH 1205
#define IDC_QINI_EDIT 1206
#define IDC_QINI_LIST 1208
#define IDC_QINI_PATH 1209

#define IDS_QINFO_LAST_UPDATED 62174
#define IDS_QINI_FAILED_TO_LOAD 63320
#define IDS_QINI_NOT_FOUND 63321
#define IDS_QINI_NOTEPAD_FAILED 63322
// Tab texts and page descriptions by category (+ 0..15).
#define IDS_QINFO_TAB_BASE 63340
#define IDS_QINFO_TEXT_BASE 63360
