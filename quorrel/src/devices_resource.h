// String ids of the installed-software, port and I/O-device writers.
#pragma once

#define IDS_PORT_SERIAL_LABEL 62031
#define IDS_PORT_PARALLEL_LABEL 62032
#define IDS_PORT_SERIAL_ITEM 62144
#define IDS_PORT_PARALLEL_ITEM 62145
#define IDS_SOFTWARE 62240
