// SQL request layer: one request block per SQL text, wrapping the host's SQL
// client (path, access plan, request with one output cursor). Calling order:
// set the text; vxrsqlp; on 0 vxrsqli; on 0 vxrsqlf until non-zero, then
// vxrsqlc; whenever vxrsqlp returned 0, vxrsqld.
#pragma once

#include "vxr/abi.h"

extern "C" {

struct VXRSQLAP {
  char eyeCatcher[8];  // "VXRSQLAP"
  int32_t pathOpen;
  int32_t requestOpen;
  HDL1_CommonHandle path;
  HDL1_CommonHandle plan;
  HDL1_CommonHandle request;
  HDL1_CommonHandle cursor;
  int32_t planCount;
  const char* sqlText;
  HDL1_CommonHandle* handleList;
  void* input;
  void* output;
};

int32_t vxrsqlp(VXRSQLAP* block);  // build path, plan and request
int32_t vxrsqli(VXRSQLAP* block);  // open for input and get the output descriptor
int32_t vxrsqlo(VXRSQLAP* block);  // open only
int32_t vxrsqlf(VXRSQLAP* block);  // fetch the next row
int32_t vxrsqlc(VXRSQLAP* block);  // close
int32_t vxrsqld(VXRSQLAP* block);  // drop request, plan and path

}  // extern "C"

constexpr int32_t kSqlStatusFailed = 64;

#if VXR_ILP32
static_assert(sizeof(VXRSQLAP) == 68);
static_assert(offsetof(VXRSQLAP, path) == 16);
static_assert(offsetof(VXRSQLAP, cursor) == 40);
static_assert(offsetof(VXRSQLAP, planCount) == 48);
static_assert(offsetof(VXRSQLAP, output) == 64);
#endif
