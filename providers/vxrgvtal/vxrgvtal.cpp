// VXRGVTAL: group volume thread activity.
//
// The I/O of the threads (plan, authorization id, correlation id) of the
// members of a data sharing group by volume. Without a volume filter the
// rows of a group and volume merge: I/O counts, rates and use added up, the
// largest rate of any member kept, the rates and the use averaged on
// emission. With a volume filter every member row stands by itself, so the
// threads on that volume are listed one by one.
#include "vxrgvtal.h"

#include "vxr/registration.h"
#include "vxr/table.h"

namespace {

constexpr uint16_t kAveraged[] = {offsetof(GvtaRow, JVTTIOR), offsetof(GvtaRow, JVTRIOR),
                                  offsetof(GvtaRow, JVTWIOR), offsetof(GvtaRow, JVTVUSE)};

void calcVTArate(GvtaRow& row, bool) {
  VXR_FUNCTION("calcVTArate");
  vxr::averageFields(&row, kAveraged, row.NUMRX4);
  VXR_RETURN_VOID();
}

VXR_NAMED_ANCHOR(kSummarize, "summarizeVTA");
VXR_NAMED_ANCHOR(kCollect, "collectLGOAVTA");

// A row that cannot be kept makes the collection false. The correlation id
// is kept as delivered: zeros past a shorter value.
constexpr vxr::Table<GvtaRow> kTable = {
    .info = &kGvtaTable,
    .eyeCatcher = "GVTAWORK",
    .workAreaSize = 300,
    .query = {.select = "SELECT ORIGINNODE,TIMESTAMP,SYSID,RX4ID,IDNAME,DSGROUP,JVTVOL,JVTPLNM,"
                        "JVTAUID,JVTCRID,JVTVUSE,JVTTIO,JVTRIO,JVTWIO,JVTTIOR,JVTRIOR,JVTWIOR",
              .base = "VXR.LGOAVTA",
              .routing = vxr::kAtSpaced},
    .zeroFilled = "JVTCRID",
    .collect = &kCollect,
    .file = &kSummarize,
    .texts = {.emitted = {kTraceDetail, "GVTA Anchor at %8X. VTAL link at %8x.\n"},
              .collectFailed = {kTraceDetail, "collectLGOAVTA returned FALSE, EOD no data\n"},
              .groupTableFailed = {vxr::kTraceAlways,
                                   "Unable to allocate Storage for GVTA result\n"}},
    .filing = {.filing = "Add new record to group\n"},
    .beforeEmit = calcVTArate,
};

}  // namespace

VXR_TABLE_ENTRIES(kTable, xrgvtasr, xrgvtapr, xrgvtats);
VXR_MODULE(VXRGVTAL, xrgvtasr, xrgvtapr, xrgvtats, "level200", vxrBuildDate, vxrBuildTime);
