#pragma once
// Recordings that lost chunk heads: the file shows a chunk was recorded there, not whose or
// when, so the stream it belonged to has a hole for the chunk's time.

#include <string>
#include <utility>
#include <vector>

#include "tests/support/KvdRecording.h"

// A chunk of a written recording: the name of its stream and its start in ms from the
// recording start.
using KvdChunkAt = std::pair<std::string, int>;

// Writes the recording of `plan` to `path` with the heads of the chunks `lost` zeroed. False
// when the file cannot be written or the plan has no such chunk.
bool WriteKvdRecordingWithoutHeads(const KvdRecordingPlan& plan, const std::string& path,
                                   const std::vector<KvdChunkAt>& lost);
