// Resource ids of Halvix (menus, dialogs, icons, strings, commands).
#pragma once

#define IDR_MAINFRAME 128

#define IDD_TITLE 182
#define IDD_ABOUTBOX 193
#define IDC_TITLE_TEXT 1000

// Test-item icons, in the order the image lists take them.
#define IDI_GROUP_TESTS 203
#define IDI_GROUP_SHORTCUTS 204

// Commands.
#define ID_STRESS_TEST 1023
#define ID_RESET_DEFAULT_CONFIG 32790
#define ID_BENCHMARKS 62164
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_HELP_FINDER 57667

// Strings.
#define IDS_PRODUCT 62069
#define IDS_FAX_TEXT 62144
#define IDS_WEB_TEXT 62145
#define IDS_EMAIL_TEXT 62146
#define IDS_NO_BROWSER_OR_HELP 62147
#define IDS_NO_BROWSER 62298
#define IDS_TITLE_SUFFIX 62367
#define IDS_BBS_TITLE 62369
