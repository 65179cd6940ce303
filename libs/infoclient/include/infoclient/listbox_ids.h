// Resource ids of the check list's state pictures, which a check list loads
// unless its owner names others. Plain defines: resource scripts include it.
#pragma once

#define IDB_CHECK_CHECKED 134
#define IDB_CHECK_UNCHECKED 135
#define IDB_CHECK_DISABLED 136
#define IDB_CHECK_LOCKED 137
