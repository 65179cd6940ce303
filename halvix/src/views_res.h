// Resource ids of the views and the collect-information dialog.
#pragma once

#define IDD_COLLECT_INFO 194
#define IDC_COLLECT_TEXT 1038
#define IDC_COLLECT_PROGRESS 1121

#define IDS_COLLECT_FAILED 62302
#define IDS_COLLECT_PREFIX 62303
// 62350 + category: the names of the sixteen information categories.
#define IDS_CATEGORY_FIRST 62350

#define IDS_TEST_MODULE_RUNNING 62445
#define IDS_PAGER_FAILED 62446
#define IDS_TOOLBAR_FAILED 62447
