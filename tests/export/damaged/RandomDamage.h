#pragma once
// Random recordings the project's writer can make and random damage to them, each damage with
// what it may cost worked out from the writer's plan (the chunks it touches and the one behind
// each), never from what the reader makes of it.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/export/damaged/DamageTable.h"
#include "tests/export/damaged/TableExport.h"
#include "tests/support/KvdRecording.h"

// A recording shape: versions 0, 5 and 11, continuous or in sweeps, one to three streams of
// samples (two of them with ids one byte apart), trigger chunks per event or per time slot
// (most of them empty), spikes, pauses of any length, a stream that ends early, with and
// without stored index.
KvdRecordingPlan RandomPlan(std::mt19937_64& random);

// "v11 triggered index 3 streams ..." for a failure message and the tally.
std::string DescribePlan(const KvdRecordingPlan& plan);

// Exports worth making of `plan`: a random choice of its streams of samples in every format,
// and the text of each event stream.
std::vector<ExportSelection> RandomSelections(const KvdRecordingPlan& plan, std::mt19937_64& random);

// One random damage: one to three heads (neighbours too) with a field or the whole head
// changed, a cut anywhere, or a sound file padded or with a stop past its data. `kind` names
// its class for the tally ("size 32 more", "cut inside a chunk", ...).
// A damaged head: its chunk (in file order) and, where the change moved both its times by one
// amount, that amount (negative: earlier).
struct ChangedHead
{
    size_t chunk = 0;
    std::optional<int64_t> movedNs;
};

struct RandomDamage
{
    Damage damage;
    std::string kind;
    size_t heads = 0;   // damaged heads (0 for cuts and sound variants)
    // A file without stored index cut cleanly between two slots may also be read as the
    // recording of this plan, with nothing named.
    std::optional<KvdRecordingPlan> shorter;
    std::vector<ChangedHead> changed;   // one for each damaged head
};

RandomDamage MakeRandomDamage(const SoundRecording& sound, std::mt19937_64& random);

// True when `damage` leaves a file no reader can tell from a sound recording, so that no export
// of it can be judged: a continuous recording of one stream of samples (no events) where nothing
// claims the end (version 0 without stored index), whose damage only moves both times of chunks
// behind the first, each by whole samples, and leaves the heads in file order one after the
// other. It reads as the recording with its pause elsewhere or longer.
bool UntellableMove(const SoundRecording& sound, const RandomDamage& damage);
