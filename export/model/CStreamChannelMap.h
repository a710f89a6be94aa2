#pragma once
// The streams that one file, or a set of files, offers for export: each stream's kind, rate and
// channels, merged over the files of a set to tell how far their setups agree.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CKVDataSelection;
class CKVTAStreamFile;

class CStreamChannelMap
{
public:
    // One stream of a file: display name, buffer-type name, the channels' hardware ids (channel
    // numbers, as 16-bit words) and names index for index, and the rate in 1/1000 Hz.
    class CStream
    {
    public:
        CStream() = default;
        CStream(const CStream& other) = default;
        CStream& operator=(const CStream& other) = default;
        virtual ~CStream() = default;

        // Adds the channels of `other` whose ids this stream lacks, in `other`'s order, and
        // returns how many ids differ: this stream's ids missing from `other` (they stay) plus
        // the channels appended.
        int MergeChannels(const CStream& other);

        std::string m_name;
        std::string m_kind;
        std::vector<uint16_t> m_channelIds;
        std::vector<std::string> m_channelNames;
        int32_t m_sampleRate = 0;
    };

    CStreamChannelMap() = default;
    CStreamChannelMap(const CStreamChannelMap&) = delete;
    CStreamChannelMap& operator=(const CStreamChannelMap&) = delete;
    CStreamChannelMap(CStreamChannelMap&&) = default;
    CStreamChannelMap& operator=(CStreamChannelMap&&) = default;
    virtual ~CStreamChannelMap() = default;

    // Set by the document for a set of files (1 continuous, 2 triggered, 3 both; mismatch 1 when
    // the data-source setups differ). No operation of the map reads or changes them.
    uint16_t GetRecordingKind() const { return m_recordingKind; }
    void SetRecordingKind(uint16_t kind) { m_recordingKind = kind; }
    uint16_t GetSetupMismatch() const { return m_setupMismatch; }
    void SetSetupMismatch(uint16_t mismatch) { m_setupMismatch = mismatch; }

    // Appends one stream per stream of the file, in file order.
    void AddFileStreams(const CKVTAStreamFile& file);
    // Appends a copy of `stream`.
    CStream& AddStream(const CStream& stream);
    void RemoveAll() { m_streams.clear(); }

    int GetStreamCount() const { return static_cast<int>(m_streams.size()); }
    // Stream i, or nullptr outside 0..count-1.
    const CStream* GetStream(int i) const;

    // Merges the next file's map into this one (the set so far). With `first` it copies every
    // stream of `other` and gives 0. Otherwise streams are the same when name and rate are
    // equal: streams missing from `other` are dropped, streams only in `other` are not added,
    // and the channels of same streams are merged. Returns 10000 x (streams dropped + streams
    // only in `other`) + the channel differences; 0 for identical setups.
    int Merge(const CStreamChannelMap& other, bool first);

    // The first stream whose name equals `streamName`, or equals it with its first " Event"
    // taken out, as the converters read it ("Digital Data Event 2" finds "Digital Data 2");
    // exact case; nullptr when none.
    const CStream* FindStream(const std::string& streamName) const;
    // Id of the first channel of that stream whose name equals `channelName`; -1 when the
    // stream or the channel is missing.
    int GetChannelId(const std::string& streamName, const std::string& channelName) const;
    // Replaces `ids` with the ids of that stream; empty when no stream matches.
    void GetChannelIds(const std::string& streamName, std::vector<uint16_t>& ids) const;
    // Appends the channel names of every stream named exactly `streamName` (no " Event" form),
    // in map order; true when at least one name was appended.
    bool GetChannelNames(const std::string& streamName, std::vector<std::string>& names) const;
    // Appends the same names in display order (CompareChannelNames); true as above.
    bool GetSortedChannelNames(const std::string& streamName,
                               std::vector<std::string>& names) const;

    // Removes the entries this map cannot deliver: those of a stream the map lacks, and those
    // whose channel id the stream does not hold, unless the entry's stream name contains
    // "Trigger". Returns how many were removed.
    int RemoveUnavailable(CKVDataSelection& selection) const;

    // Appends every stream's kind in order, with "digitalevent" right after each "digital";
    // true when the map holds a stream.
    bool GetStreamKinds(std::vector<std::string>& kinds) const;
    // A stream of kind "analog", "filter", "digital", "chat" or of no kind.
    bool HasRawDataStream() const;
    bool HasSpikeStream() const { return HasKind("spikes"); }
    bool HasAverageStream() const { return HasKind("average"); }
    bool HasParameterStream() const { return HasKind("params"); }
    bool HasSpikeParameterStream() const { return HasKind("spkparam"); }
    bool HasBurstParameterStream() const { return HasKind("bstparam"); }
    bool HasTriggerStream() const { return HasKind("trigger"); }

    // Display order of channel names: true when `a` comes before `b`. Numbers sort by value,
    // names of digital channels and one-character names byte by byte, "A" names after the
    // others. This is not a strict weak order, so it must not drive std::sort; the sorted
    // getter uses a selection sort that gives the same order every time.
    static bool CompareChannelNames(const std::string& a, const std::string& b);
    // Sorts `names` in place with that selection sort: the smallest remaining name goes next;
    // among names that compare equal the later one in the list goes first.
    static void SortChannelNames(std::vector<std::string>& names);

private:
    bool HasKind(const char* kind) const;

    uint16_t m_recordingKind = 0;
    uint16_t m_setupMismatch = 0;
    std::vector<std::unique_ptr<CStream>> m_streams;
};
