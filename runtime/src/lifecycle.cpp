#include "vxr/lifecycle.h"

#include <cstdarg>
#include <cstdio>

#include "vxr/nodes.h"

namespace vxr {

namespace {

void* parameterList(HDL1_CommonHandle request, const Trace& trace) {
  void* parm = nullptr;
  getItem(request, kItemParameterList, &parm);
  if (parm == nullptr) VXR_TRACE(trace, kTraceError, "Data server parameter list not found.\n");
  return parm;
}

void* workAreaOf(void* parm, const Trace& trace) {
  void* workArea = parmWorkArea(parm);
  if (workArea == nullptr) VXR_TRACE(trace, kTraceError, "Unable to locate pWorkA work area.\n");
  return workArea;
}

// A process call after end of data collects afresh; the tables of the
// earlier collection are released first so that nothing is left unreachable.
void releaseTables(const ModuleProgram& program, void* workArea) {
  for (uint8_t index : program.destroyOrder) destroyTableOf(program, workArea, index);
}

int32_t firstCall(const ModuleProgram& program, HDL1_CommonHandle request, void* workArea,
                  const Trace& trace) {
  if (program.reset) program.reset(workArea);
  for (const FilterSlot& slot : program.clearedSlots) clearFilterSlot(workArea, slot);
  readFilters(request, workArea, program.filters, trace);
  if (program.derive) program.derive(workArea, trace);
  const size_t created =
      program.createOrder.empty() ? program.tables.size() : program.createOrder.size();
  for (size_t i = 0; i < created; ++i) {
    const int32_t index =
        program.createOrder.empty() ? static_cast<int32_t>(i) : program.createOrder[i];
    if (int32_t status = createTableOf(program, workArea, index, trace); status != 0) return status;
  }
  if (int32_t status = listMembers(program, workArea, trace); status != 0) return status;
  if (!program.collect(workArea, trace)) {
    traceText(trace, program.collectFailed);
    return kStatusEndOfData;
  }
  if (program.afterCollect) program.afterCollect(workArea, trace);
  return program.furtherCollection ? program.furtherCollection(workArea, trace) : kStatusOk;
}

}  // namespace

void traceText(const Trace& trace, TraceText text, ...) {
  if (text.text == nullptr || !trace.on(text.level)) return;
  char line[512];
  va_list arguments;
  va_start(arguments, text);
  std::vsnprintf(line, sizeof line, text.text, arguments);
  va_end(arguments);
  RAS1_Printf(trace.anchor, trace.anchor->line, "%s", line);
}

int32_t createTableOf(const ModuleProgram& program, void* workArea, int32_t index,
                      const Trace& trace) {
  const TableSpec& spec = program.tables[index];
  auto& anchor = field<VXR_ResultTable*>(workArea, spec.anchor);
  VXR_ListHeader* list = createTable(&anchor, spec.elementSize, spec.perBlock);
  if (list == nullptr) {
    traceText(trace, spec.failure);
    return kStatusNoTable;
  }
  if (spec.list != kNoField) field<VXR_ListHeader*>(workArea, spec.list) = list;
  return kStatusOk;
}

void destroyTableOf(const ModuleProgram& program, void* workArea, int32_t index) {
  destroyTable(&field<VXR_ResultTable*>(workArea, program.tables[index].anchor));
}

int32_t listMembers(const ModuleProgram& program, void* workArea, const Trace& trace) {
  VXR_ResultTable* table =
      field<VXR_ResultTable*>(workArea, program.tables[program.nodeTable].anchor);
  if (buildNodeList(table, field<VXR_ListHeader*>(workArea, program.nodeList)) == 0) {
    VXR_TRACE(trace, kTraceError, "buildNodeList returned no data\n");
    return kStatusEndOfData;
  }
  return kStatusOk;
}

const ModuleProgram& programForRequest(HDL1_CommonHandle request,
                                       std::span<const TableChoice> choices,
                                       const ModuleProgram& otherwise) {
  void* parm = nullptr;
  if (getItem(request, kItemParameterList, &parm) != 0 || parm == nullptr) return otherwise;
  const char* table = parmTableName(parm);
  for (const TableChoice& choice : choices) {
    const size_t length = std::strlen(choice.name);
    if (length <= kParmTableNameSize && std::strncmp(table, choice.name, length) == 0)
      return *choice.program;
  }
  return otherwise;
}

int32_t startRequest(const ModuleProgram& program, RAS1_Anchor* anchor, HDL1_CommonHandle request) {
  const Trace trace = traceEnter(anchor);
  traceText(trace, program.startBanner);
  void* parm = parameterList(request, trace);
  if (parm == nullptr) return traceExit(trace, __LINE__, kStatusNoParameterList);
  traceText(trace, program.invoked, parmTableName(parm));
  traceText(trace, program.gettingStorage);

  void* workArea = nullptr;
  const int32_t status = getStorage(parmStorageHandle(parm), program.workAreaSize, &workArea);
  if (status != 0 || workArea == nullptr) {
    traceText(trace, program.storageFailed);
    return traceExit(trace, __LINE__, kStatusNoStorage);
  }
  VXR_TRACE(trace, kTraceDetail, "Got View storage at %8X of size %d\n", traceAddress(workArea),
            program.workAreaSize);
  std::memset(workArea, 0, static_cast<size_t>(program.workAreaSize));
  std::memcpy(workArea, program.eyeCatcher, 8);
  putItem(request, kItemWorkArea, workArea);
  field<int32_t>(workArea, program.rowsEmitted) = 0;
  return traceExit(trace, __LINE__, kStatusOk);
}

int32_t processRequest(const ModuleProgram& program, RAS1_Anchor* anchor,
                       HDL1_CommonHandle request) {
  const Trace trace = traceEnter(anchor);
  traceText(trace, program.processBanner);
  void* parm = parameterList(request, trace);
  if (parm == nullptr) return traceExit(trace, __LINE__, kStatusNoParameterList);
  void* workArea = workAreaOf(parm, trace);
  if (workArea == nullptr) return traceExit(trace, __LINE__, kStatusNoWorkArea);

  auto& rowsEmitted = field<int32_t>(workArea, program.rowsEmitted);
  auto& cursor = field<VXR_ListLinks*>(workArea, program.emissionCursor);
  if (rowsEmitted == 0) {
    traceText(trace, program.firstCall);
    releaseTables(program, workArea);
    cursor = nullptr;
    const int32_t status = firstCall(program, request, workArea, trace);
    if (status != kStatusOk) return traceExit(trace, __LINE__, status);
  }

  traceText(trace, program.nextRow);
  VXR_ListHeader* list = field<VXR_ListHeader*>(workArea, program.summaryList);
  VXR_ListLinks* next = nullptr;
  if (list != nullptr) next = cursor ? older(list, cursor) : newest(list);
  cursor = next;

  int32_t status;
  if (next != nullptr) {
    void* row = elementData(next);
    if (program.beforeEmit) program.beforeEmit(workArea, trace, row);
    traceText(trace, program.emitted, traceAddress(list), traceAddress(next));
    ++rowsEmitted;
    putItem(request, kItemOutputRow, row);
    status = kStatusOk;
  } else {
    traceText(trace, program.endOfData, rowsEmitted);
    rowsEmitted = 0;
    status = kStatusEndOfData;
  }
  traceText(trace, program.exitStatus, status);
  return traceExit(trace, __LINE__, status);
}

int32_t terminateRequest(const ModuleProgram& program, RAS1_Anchor* anchor,
                         HDL1_CommonHandle request) {
  const Trace trace = traceEnter(anchor);
  traceText(trace, program.teardown);
  void* parm = parameterList(request, trace);
  if (parm == nullptr) return traceExit(trace, __LINE__, kStatusNoParameterList);
  void* workArea = workAreaOf(parm, trace);
  if (workArea == nullptr) return traceExit(trace, __LINE__, kStatusNoWorkArea);
  releaseTables(program, workArea);
  return traceExit(trace, __LINE__, kStatusOk);
}

}  // namespace vxr
