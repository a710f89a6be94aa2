#pragma once
// Whole recordings for converter tests: raw streams in regular chunks, continuous or in sweeps,
// with sample values that any test can recompute.

#include <cstdint>
#include <string>
#include <vector>

struct KvdRawStreamPlan
{
    std::string type = "analog";
    std::string name = "Electrode Raw Data";
    std::string id = "elec0001";
    std::vector<std::string> channels = {"12", "13"};
    int rateHz = 0;                // 0: the recording's rate
    uint16_t adcBits = 16;
    uint16_t adcZero = 32768;
    double voltsPerStep = 1e-7;
    int8_t unit = 'V';             // the stream's unit character
    int32_t extension = 0;         // every channel's extension value
    std::vector<int> missingSlots; // time slots (chunks counted from 0 over the recording,
                                   // sweeps included) for which only this stream has no chunk
};

// The digital input stream of a recording: "Digital Data" ("digi0001") with the one channel D1.
KvdRawStreamPlan KvdDigitalStreamPlan();

struct KvdRecordingPlan
{
    int rateHz = 10000;
    int chunkMs = 100;             // rate x chunkMs must be whole thousands
    uint16_t fileVersion = 11;     // 0 to 11; below 5 chunks are named by chunk number (the
                                   // streams' ids are derived from their names), and version 0
                                   // stores neither mode nor stop time (a triggered one is
                                   // written by a program that tells the mode by the gaps)
    int32_t rangeCode = 0;         // amplifier range code of the header
    std::vector<KvdRawStreamPlan> streams = {KvdRawStreamPlan()};

    // Continuous: `chunks` chunks in a row; those in `dropChunks` are left out (a gap). The stop
    // time lies `stopExtraUs` after the end of the last chunk.
    int chunks = 25;
    std::vector<int> dropChunks;
    int64_t stopExtraUs = 0;

    // Triggered: `sweeps` runs of `sweepMs` each, `gapMs` apart; sweeps listed in `shortSweeps`
    // lack their last chunk. The header's sweep length is `sweepLengthMs`. With `triggerStream`
    // a trigger stream (stream 0 of the file, "Trigger 1") holds one event at every sweep start.
    bool triggered = false;
    int sweeps = 3;
    int sweepMs = 200;
    int gapMs = 300;
    int sweepLengthMs = 200;
    std::vector<int> shortSweeps;
    bool triggerStream = true;
    // The settings record of the trigger stream (none when empty): the text converter writes the
    // events of a trigger stream that has one.
    std::vector<uint8_t> triggerSettings;

    // One part of a longer recording that started at kKvdDefaultStart: a continuous file holds
    // the chunks from `firstChunk` on, a triggered one the sweeps from `firstSweep` on, with
    // the sample values of the whole. From header version 3 the press time stays the whole's
    // start (the parts of one split recording); older versions store only their own start.
    int firstChunk = 0;
    int firstSweep = 0;

    // Continuous recordings: a trigger stream (stream 0, "Trigger 1") with one event at each of
    // these times (ms from the recording start), none when empty.
    std::vector<int> triggerMs;
    // With `triggerMs` or not: a trigger chunk for every time slot, spanning it and holding that
    // slot's events, none for most (the recording program writes empty ones), instead of a
    // chunk per event.
    bool triggerEverySlot = false;
    // Continuous recordings from header version 1: a spike stream ("Spikes 1", the file's last)
    // with one spike of its channel "E1" at each of these times (ms from the recording start),
    // the spikes of one time slot in one chunk of the slot's time; none when empty.
    std::vector<int> spikeMs;

    // From header version 3: the index behind the data, as the recording program stores it
    // (an entry for the first chunk and then for at least every 250000 bytes, one sweep for
    // every gap-free run of chunks of the file's last stream with data).
    bool storedIndex = false;
};

struct KvdLayout;

// One data chunk of a written recording, in file order.
struct KvdPlannedChunk
{
    std::string stream;        // the name of its stream
    uint64_t startNs = 0;      // its time, from the recording start
    uint64_t stopNs = 0;
    size_t recordBytes = 0;    // one frame of a raw stream, one record of an event stream
};

// The stored value of channel `channel` of plan stream `stream` at frame `frame`, frames counted
// at the stream's rate from the recording start (gaps included). Within the stream's ADC bits.
uint16_t KvdRecordingSample(const KvdRecordingPlan& plan, size_t stream, size_t channel, uint64_t frame);

// Nanoseconds from the recording start to the start of sweep `sweep`.
uint64_t KvdSweepStartNs(const KvdRecordingPlan& plan, int sweep);

// Writes the recording; false when the file cannot be written. `layout` receives where the
// chunks and the index went (see KvdBuilder::Build), `chunks` what each chunk holds.
bool WriteKvdRecording(const KvdRecordingPlan& plan, const std::string& path, KvdLayout* layout = nullptr,
                       std::vector<KvdPlannedChunk>* chunks = nullptr);
