#pragma once
// The rows of raw exports (".raw" and ABF samples, text lines) of the damaged-recording table:
// against the writer's plan for a sound recording, against the sound export for a damaged one.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/export/damaged/MissingNames.h"
#include "tests/export/damaged/TableExport.h"
#include "tests/support/KvdRecording.h"

// One value column of a raw export.
struct RawColumn
{
    std::string stream;
    size_t planStream = 0;   // in plan.streams
    size_t channel = 0;
    uint16_t zeroVolts = 0;  // 0 V as the format stores it
    std::string name;
};

// True when `selection` names raw streams of `plan` (not event streams).
bool IsRawSelection(const KvdRecordingPlan& plan, const ExportSelection& selection);
std::vector<RawColumn> RawColumns(const KvdRecordingPlan& plan, const ExportSelection& selection,
                                  ExportFormat format);

// What is wrong with the rows of the sound export `sound`: their number, and in ".raw" and ABF
// files every sample against the plan's.
std::string PlannedRowsProblem(const KvdRecordingPlan& plan, const std::vector<RawColumn>& columns,
                               ExportFormat format, const ExportOutcome& sound);

// What is wrong with the rows of `got`, an export of a damaged copy: they are the sound
// export's, but where `names` names a stretch of a column's stream the cell holds 0 V (".raw",
// ABF) or is empty (text; a row left with no value is left out). With `openEnd` the export may
// end early. Empty when nothing is.
std::string RowsProblem(ExportFormat format, const std::vector<RawColumn>& columns, int rateHz,
                        const ExportOutcome& sound, const ExportOutcome& got, const MissingNames& names,
                        bool openEnd);

// Where the rows of `got` end, in ms from the recording start.
int64_t RowsEndMs(ExportFormat format, const std::vector<RawColumn>& columns, int rateHz, const ExportOutcome& got);

// True when `got` holds no row: an empty ".raw" file, an ABF file of no more than its header, a
// text file of head lines only.
bool HoldsNoRow(ExportFormat format, const ExportOutcome& got);
