// SQLite's interface for the host's sources. In the loadable extension
// (VXR_SQLITE_EXTENSION) every call goes through the routines of the process
// that loaded it, so that one SQLite library serves both the client and the
// host; elsewhere the calls are SQLite's own.
#pragma once

#ifdef VXR_SQLITE_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif
