#include "vxr/sql.h"

#include "runtime_units.h"
#include "vxr/host_services.h"
#include "vxr/trace.h"

using vxr::sqlOperation;

namespace {

constexpr char kServerName[] = "SRVR01";

#define SQL_FUNCTION(name)                                    \
  VXR_ANCHOR_ON(sqlAnchor, vxrSqlUnit, vxrSqlUnitSync, name); \
  const ::vxr::Trace trace = ::vxr::traceEnter(&sqlAnchor)

int32_t drop(HDL1_CommonHandle handle) {
  auto op = sqlOperation<HDL1_DropFn>(handle, kSlotDrop);
  return op ? op(handle.id, handle.object) : vxr::kStatusIdMismatch;
}

}  // namespace

extern "C" int32_t vxrsqlp(VXRSQLAP* block) {
  SQL_FUNCTION("vxrsqlp");
  std::memcpy(block->eyeCatcher, "VXRSQLAP", 8);
  block->pathOpen = 0;
  block->requestOpen = 0;
  VXR_TRACE(trace, kTraceSql, "Creating path for SQL\n length %d %s\n",
            static_cast<int>(std::strlen(block->sqlText)), block->sqlText);

  int32_t status = sql1cpth(kServerName, sql1cpli(), &block->path);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Create Path failed with %d\n", status);
    VXR_RETURN(status);
  }

  auto createPlan = sqlOperation<HDL1_CreateAccessPlanFn>(block->path, kSlotCreateAccessPlan);
  status = createPlan ? createPlan(block->path.id, block->path.object, block->sqlText, &block->plan)
                      : vxr::kStatusIdMismatch;
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Create Access Plan failed with %d\n", status);
    drop(block->path);
    VXR_RETURN(status);
  }

  block->planCount = 1;
  block->handleList = &block->cursor;
  auto createRequest = sqlOperation<HDL1_CreateRequestFn>(block->path, kSlotCreateRequest);
  status = createRequest
               ? createRequest(block->path.id, block->path.object, &block->request, 0, 0, 0, 0,
                               block->planCount, &block->plan, &block->handleList, 0)
               : vxr::kStatusIdMismatch;
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Create Request failed with %d.\n", status);
    drop(block->plan);
    drop(block->path);
    VXR_RETURN(status);
  }

  auto getInput = sqlOperation<HDL1_GetSQLDAFn>(block->request, kSlotGetInputSQLDA);
  status = getInput ? getInput(block->request.id, block->request.object, &block->input)
                    : vxr::kStatusIdMismatch;
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, " GetInputSQLDA failed with %d\n", status);
    drop(block->request);
    drop(block->plan);
    drop(block->path);
    VXR_RETURN(kSqlStatusFailed);
  }

  VXR_TRACE(trace, kTraceDetail, "Create Request successful\n");
  block->pathOpen = 1;
  VXR_RETURN(0);
}

extern "C" int32_t vxrsqli(VXRSQLAP* block) {
  SQL_FUNCTION("vxrsqli");
  auto open = sqlOperation<HDL1_OpenRequestFn>(block->request, kSlotOpenRequest);
  int32_t status =
      open ? open(block->request.id, block->request.object, block->input) : vxr::kStatusIdMismatch;
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, " OpenRequest returned with %d\n", status);
    VXR_RETURN(kSqlStatusFailed);
  }
  block->requestOpen = 1;
  auto getOutput = sqlOperation<HDL1_GetSQLDAFn>(block->cursor, kSlotGetOutputSQLDA);
  status = getOutput ? getOutput(block->cursor.id, block->cursor.object, &block->output)
                     : vxr::kStatusIdMismatch;
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, " GetOutputSQLDA request returned with %d\n", status);
    VXR_RETURN(kSqlStatusFailed);
  }
  VXR_RETURN(0);
}

extern "C" int32_t vxrsqlo(VXRSQLAP* block) {
  SQL_FUNCTION("vxrsqlo");
  VXR_TRACE(trace, kTraceSql, "Opening SQL request for SQL\n %s\n", block->sqlText);
  auto open = sqlOperation<HDL1_OpenRequestFn>(block->request, kSlotOpenRequest);
  int32_t status =
      open ? open(block->request.id, block->request.object, block->input) : vxr::kStatusIdMismatch;
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "OpenRequest failed with %d\n", status);
    VXR_RETURN(status);
  }
  block->requestOpen = 1;
  VXR_RETURN(0);
}

extern "C" int32_t vxrsqlf(VXRSQLAP* block) {
  SQL_FUNCTION("vxrsqlf");
  auto fetch = sqlOperation<HDL1_FetchFn>(block->cursor, kSlotFetch);
  int32_t status =
      fetch ? fetch(block->cursor.id, block->cursor.object, block->output) : vxr::kStatusIdMismatch;
  VXR_TRACE(trace, kTraceDetail, "Fetch return status(%d)\n", status);
  VXR_RETURN(status);
}

extern "C" int32_t vxrsqlc(VXRSQLAP* block) {
  SQL_FUNCTION("vxrsqlc");
  if (block->requestOpen == 1) {
    block->requestOpen = 0;
    auto close = sqlOperation<HDL1_CloseRequestFn>(block->request, kSlotCloseRequest);
    int32_t status =
        close ? close(block->request.id, block->request.object) : vxr::kStatusIdMismatch;
    if (status != 0) {
      VXR_TRACE(trace, kTraceError, " CloseRequest returned with %d\n", status);
      VXR_RETURN(kSqlStatusFailed);
    }
  }
  VXR_RETURN(0);
}

extern "C" int32_t vxrsqld(VXRSQLAP* block) {
  SQL_FUNCTION("vxrsqld");
  if (block->pathOpen == 0) {
    VXR_TRACE(trace, kTraceError, "Drop request incorrectly called with closed path \n");
    VXR_RETURN(kSqlStatusFailed);
  }
  int32_t first = 0;
  int32_t status = drop(block->request);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Drop reqHdl failed with %d\n", status);
    first = status;
  }
  status = drop(block->plan);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Drop planHdl failed with %d\n", status);
    if (first == 0) first = status;
  }
  status = drop(block->path);
  if (status != 0) {
    VXR_TRACE(trace, kTraceError, "Drop pathHdl failed with %d\n", status);
    if (first == 0) first = status;
  }
  VXR_RETURN(first);
}
