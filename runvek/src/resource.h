// Resource ids of the module runner.
#pragma once

// Dialogs: one per module, and the one for an unknown name.
#define IDD_UNKNOWN_MODULE 102
#define IDD_FENWOLD 129
#define IDD_GRAPHICS 130
#define IDD_STREVAN 131
#define IDD_MODEM 132
#define IDD_CDROM 133
#define IDD_ZENTREL 134
#define IDD_MEDIA 135

#define IDI_RUNVEK 128
#define IDC_MODULE_NAME_TEXT 1000

#define IDS_CONTROL_NOT_CREATED 1
