// Resource ids of Murrick's runner and pages (resource scripts include it).
#pragma once

#define IDS_MURRICK_TITLE 61915         // "System Information"
#define IDS_MURRICK_LAST_UPDATED 62174  // "Last Updated:"
// Tab texts and page descriptions, by category (+ 0..15).
#define IDS_MURRICK_TAB_BASE 62300
#define IDS_MURRICK_TEXT_BASE 62320

#define IDI_MURRICK_SHEET 130
