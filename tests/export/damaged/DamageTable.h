#pragma once
// The ways the damaged-recording table breaks a sound recording, each with what an export of
// the broken file may lack, worked out from the writer's plan.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"

// A sound recording as the writer laid it out.
struct SoundRecording
{
    KvdRecordingPlan plan;
    KvdLayout layout;
    std::vector<KvdPlannedChunk> chunks;   // in file order, as layout.chunkAt
    std::vector<uint8_t> bytes;
};

// Writes `plan` to `path`; false when the writer refuses it.
bool WriteSoundRecording(const KvdRecordingPlan& plan, const std::string& path, SoundRecording& sound);

// A chunk a damage may cost: one that may read back as sound ("mended") or be lost, or one that
// must be lost.
struct LostChunk
{
    size_t chunk = 0;   // in file order
    bool must = false;
};

// Time of a stream of samples that the writer left without chunks: a pause of all streams, or
// a slot that stream lacks.
struct UntoldTime
{
    std::string stream;
    uint64_t startNs = 0;
    uint64_t stopNs = 0;
};

struct Damage
{
    std::string name;
    std::function<void(std::vector<uint8_t>&)> apply;
    std::vector<LostChunk> lost;
    // A file without stored index cut between two time slots: exported as the sound recording
    // of this plan, with nothing named.
    std::optional<KvdRecordingPlan> shorter;
    // The cut file no longer tells where the recording ended (no stop time, no index): the
    // export may end anywhere behind the last whole chunk, naming what it lost up to there.
    bool openEnd = false;
    // A chunk head that no longer names its stream: an event stream may name the time between
    // its chunks around it as possibly lost.
    bool unnamedHead = false;
    // Time without chunks that the damage leaves no telling from lost time: it may be named
    // as lost, and need not be.
    std::vector<UntoldTime> untold;
};

// "chunk 12 (Digital Data 0.500-0.600 s)".
std::string ChunkName(const SoundRecording& sound, size_t chunk);

// Offset of the stop time of stored sweep `sweep` (from 0); 0 without a stored index.
size_t StoredSweepStopAt(const SoundRecording& sound, size_t sweep);

// Every chunk from `first` (in file order) on, each one lost.
std::vector<LostChunk> LostFrom(const SoundRecording& sound, size_t first);

// The time without chunks of a continuous recording cut before chunk `first` (in file order)
// that the copy no longer tells from lost time: no chunk of samples left begins behind it.
std::vector<UntoldTime> UntoldBehind(const SoundRecording& sound, size_t first);

// The first, a middle and the last chunk of every stream, in file order.
std::vector<size_t> ChunksToDamage(const SoundRecording& sound);

// Every damaged head field of chunk `chunk`: the size field 0, 1, one record more or less, 32
// more or the largest; one id byte; either time 0, 1, the largest, one chunk earlier or
// later; the times swapped; the whole head zeroed.
std::vector<Damage> HeadDamages(const SoundRecording& sound, size_t chunk);

// The head change named `changeName` (as HeadDamages names them) of chunk `chunk`.
Damage HeadDamage(const SoundRecording& sound, size_t chunk, const std::string& changeName);

// Damages `a` and `b` in one file: what either may cost.
Damage Both(const Damage& a, const Damage& b);

// Two damaged heads in one file, a few pairs of streams and places.
std::vector<Damage> TwoHeadDamages(const SoundRecording& sound);

// The file cut between two time slots, inside a chunk head, inside a chunk and inside the
// stored index.
std::vector<Damage> CutOffs(const SoundRecording& sound);

// Sound files with zero bytes appended, the header's stop time past the data, or both.
std::vector<Damage> SoundVariants(const SoundRecording& sound);

// The whole table: every head damage of each chunk of ChunksToDamage, two damaged heads, the
// cut-offs and the sound variants.
std::vector<Damage> TableDamages(const SoundRecording& sound);
