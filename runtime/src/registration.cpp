// Build information and the trace units of the runtime's sources.
#include "vxr/registration.h"

#include "runtime_units.h"
#include "vxr_build_info.h"

extern "C" {

// vxrBuildDate and vxrBuildTime come from the module's own source, so that
// they tell when the module itself was compiled.
static const char* const info_strings[18] = {
    vxrBuildDate,
    vxrBuildTime,
    VXR_BUILD_INFO_SOURCE,
    "",
    VXR_TARGET_PLATFORM,
    VXR_TARGET_PLATFORM,
    VXR_BUILD_USER,
    VXR_OS_RELEASE,
    VXR_OS_VERSION,
    VXR_OS_NAME,
    VXR_BUILD_HOST,
    VXR_MACHINE_CLASS,
    VXR_TARGET_PLATFORM,
    VXR_TARGET_PLATFORM,
    "",
    "vxr",
    "",
    VXR_PRODUCT_VERSION,
};

static const char* const comment_strings[8] = {
    "CC=" VXR_C_COMPILER,
    VXR_C_OPTIONS,
    "CXX=" VXR_CXX_COMPILER,
    VXR_CXX_OPTIONS,
    VXR_BUILD_MACROS,
    "Group table providers for the host data server.",
    "Built from the project's own sources.",
    "",
};

static const ZWBLD_ValuesList values_list = {18, 8, info_strings, comment_strings};

void zwbld00(const ZWBLD_ValuesList** result) {
  *result = &values_list;
}

static const char kLevel[] = "level200";

const RAS1_UnitBlock vxrSqlUnit = {kUnitMarker,
                                   kUnitKindRuntime,
                                   "VXRMSQL",
                                   7,
                                   vxrBuildDate,
                                   11,
                                   vxrBuildTime,
                                   8,
                                   kLevel,
                                   8,
                                   "*",
                                   1,
                                   0,
                                   0,
                                   &zwbld00};
int32_t vxrSqlUnitSync = 1;

const RAS1_UnitBlock vxrUtilUnit = {kUnitMarker,
                                    kUnitKindRuntime,
                                    "VXRMUTL",
                                    7,
                                    vxrBuildDate,
                                    11,
                                    vxrBuildTime,
                                    8,
                                    kLevel,
                                    8,
                                    "*",
                                    1,
                                    0,
                                    0,
                                    &zwbld00};
int32_t vxrUtilUnitSync = 1;

}  // extern "C"
