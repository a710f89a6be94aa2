#pragma once
// The user's choice of what to export: stream, channel and bit entries, matched by name.

#include <memory>
#include <string>
#include <vector>

class CKVDataSelection
{
public:
    // Per-entry data a converter attaches while it converts one file.
    class CEntryObject
    {
    public:
        virtual ~CEntryObject() = default;
    };

    struct Entry
    {
        std::string streamName;
        std::string channelName;
        int channelId = -1;   // hardware id of the channel, -1 for none
        int bit = -1;         // bit of a digital channel 0..15, -1 for the whole channel
        int value = 0;        // sample rate in Hz of the entry's stream
        std::unique_ptr<CEntryObject> object;
    };

    CKVDataSelection() = default;
    // Copies names, ids, bits and values in order. Per-entry objects belong to the selection
    // they were attached to and are not copied: the copy starts without them.
    CKVDataSelection(const CKVDataSelection& other);
    CKVDataSelection& operator=(const CKVDataSelection& other);
    virtual ~CKVDataSelection() = default;

    int GetCount() const { return static_cast<int>(m_entries.size()); }
    // The entry at index, or nullptr outside 0..count-1.
    Entry* At(int index);
    const Entry* At(int index) const;

    // Appends an entry, or inserts it before `position` (0..count).
    Entry& Add(Entry entry);
    Entry& Insert(int position, Entry entry);

    // Copies the two names of entry `index`; false outside 0..count-1.
    bool GetEntry(int index, std::string& streamName, std::string& channelName) const;
    int GetFirstEntryValue() const;
    bool ContainsStream(const std::string& streamName) const;
    // Removes the first entry whose names and bit equal these exactly; the channel id plays no part.
    bool Remove(const std::string& streamName, const std::string& channelName, int bit);
    bool RemoveAt(int index);
    void RemoveAll();
    void DeleteEntryObjects();

private:
    std::vector<std::unique_ptr<Entry>> m_entries;
};
