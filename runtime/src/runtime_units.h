// Trace units of the runtime's own sources: the SQL request layer and the
// utilities (result table, node discovery).
#pragma once

#include "vxr/abi.h"

extern "C" {
extern const RAS1_UnitBlock vxrSqlUnit;
extern int32_t vxrSqlUnitSync;
extern const RAS1_UnitBlock vxrUtilUnit;
extern int32_t vxrUtilUnitSync;
}
