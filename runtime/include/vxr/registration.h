// Module registration: the static blocks through which a host finds a
// module's entries, and the one exported function, cnt1entd.
//
// A module declares itself in one line:
//   VXR_MODULE(VXRGOAAL, xrgoaasr, xrgoaapr, xrgoaats, "level200", vxrBuildDate, vxrBuildTime)
// which defines its trace unit, its compile-date entry VXRGOAAL__GCD, the
// entry vector, the contents entry list, the mount block and cnt1entd.
#pragma once

#include "vxr/abi.h"

extern "C" {
// Date ("Mar 17 2007") and time ("22:51:54") at which the module was
// compiled: defined by VXR_MODULE in the module's own source.
extern const char vxrBuildDate[12];
extern const char vxrBuildTime[9];
// The build-information accessor.
void zwbld00(const ZWBLD_ValuesList** result);
}

namespace vxr {
constexpr int32_t textLength(const char* text) {
  int32_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}
}  // namespace vxr

#if VXR_FLAVOUR_WINDOWS
#define VXR_CNT1ENTD_DEFINITION(mount) \
  int32_t cnt1entd(void) {             \
    return kglcnmnt(&(mount), 0);      \
  }
#else
#define VXR_CNT1ENTD_DEFINITION(mount) \
  void cnt1entd(void) {                \
    kglcnmnt(&(mount), 0);             \
  }
#endif

// __DATE__ ("Mar  7 2007") with the day as two digits ("Mar 07 2007").
#define VXR_COMPILE_DATE                                                                        \
  {                                                                                             \
    __DATE__[0], __DATE__[1], __DATE__[2], __DATE__[3], __DATE__[4] == ' ' ? '0' : __DATE__[4], \
        __DATE__[5], __DATE__[6], __DATE__[7], __DATE__[8], __DATE__[9], __DATE__[10], '\0'     \
  }

// The build date and time of a program that carries the runtime: defined
// in one source of it (VXR_MODULE does so for a module).
#define VXR_BUILD_STAMP()                                    \
  extern "C" const char vxrBuildDate[12] = VXR_COMPILE_DATE; \
  extern "C" const char vxrBuildTime[9] = __TIME__

#define VXR_MODULE_UNIT(MODULE, UNIT, START, PROCESS, TERMINATE, LEVEL, GCD_DATE, GCD_TIME)  \
  VXR_BUILD_STAMP();                                                                         \
  extern "C" {                                                                               \
  int32_t START(HDL1_CommonHandle);                                                          \
  int32_t PROCESS(HDL1_CommonHandle);                                                        \
  int32_t TERMINATE(HDL1_CommonHandle);                                                      \
  static const char vxrOwnUnitName[] = #UNIT;                                                \
  static constexpr const char* vxrOwnUnitLevel = LEVEL;                                      \
  const RAS1_UnitBlock vxrOwnUnit = {kUnitMarker,                                            \
                                     kUnitKindOwn,                                           \
                                     vxrOwnUnitName,                                         \
                                     sizeof vxrOwnUnitName - 1,                              \
                                     vxrBuildDate,                                           \
                                     sizeof vxrBuildDate - 1,                                \
                                     vxrBuildTime,                                           \
                                     sizeof vxrBuildTime - 1,                                \
                                     vxrOwnUnitLevel,                                        \
                                     ::vxr::textLength(vxrOwnUnitLevel),                     \
                                     "*",                                                    \
                                     1,                                                      \
                                     0,                                                      \
                                     0,                                                      \
                                     &zwbld00};                                              \
  int32_t vxrOwnUnitSync = 1;                                                                \
  const char** MODULE##__GCD(const char** version, const char** date, const char** time) {   \
    *version = "V130";                                                                       \
    *date = GCD_DATE;                                                                        \
    *time = GCD_TIME;                                                                        \
    return version;                                                                          \
  }                                                                                          \
  static const PRB1_Vector PRB1_Vector_ = {{kVectorHead0, kVectorHead1},                     \
                                           {{0, reinterpret_cast<void*>(&START), 0},         \
                                            {0, reinterpret_cast<void*>(&PROCESS), 0},       \
                                            {0, reinterpret_cast<void*>(&TERMINATE), 0},     \
                                            {0, reinterpret_cast<void*>(&MODULE##__GCD), 0}, \
                                            {0, nullptr, 0},                                 \
                                            {0, nullptr, 0},                                 \
                                            {0, nullptr, 0}},                                \
                                           0};                                               \
  static const CNT1_Entry CNT1_entryList[1] = {{#MODULE, &PRB1_Vector_}};                    \
  __attribute__((used)) static const CNT1_ContentsHeader CNT1_ContentsHeader_ = {&kglcnt1h}; \
  static const CNT1_MountBlock vxrMountBlock = {#MODULE, CNT1_entryList, 1};                 \
  __attribute__((visibility("default"))) VXR_CNT1ENTD_DEFINITION(vxrMountBlock)              \
  }                                                                                          \
  static_assert(sizeof #MODULE - 1 == 8, "a module name has 8 characters");                  \
  static_assert(sizeof #UNIT - 1 == 8, "a trace unit name has 8 characters")

// Most modules trace under their own name; one whose source traces under
// another unit name mounts with VXR_MODULE_UNIT (mount name, unit name, ...).
#define VXR_MODULE(MODULE, START, PROCESS, TERMINATE, LEVEL, GCD_DATE, GCD_TIME) \
  VXR_MODULE_UNIT(MODULE, MODULE, START, PROCESS, TERMINATE, LEVEL, GCD_DATE, GCD_TIME)
