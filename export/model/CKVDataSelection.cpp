#include "export/model/CKVDataSelection.h"

namespace {

std::unique_ptr<CKVDataSelection::Entry> CopyWithoutObject(const CKVDataSelection::Entry& source)
{
    auto copy = std::make_unique<CKVDataSelection::Entry>();
    copy->streamName = source.streamName;
    copy->channelName = source.channelName;
    copy->channelId = source.channelId;
    copy->bit = source.bit;
    copy->value = source.value;
    return copy;
}

} // namespace

CKVDataSelection::CKVDataSelection(const CKVDataSelection& other)
{
    *this = other;
}

CKVDataSelection& CKVDataSelection::operator=(const CKVDataSelection& other)
{
    if (this == &other)
        return *this;
    std::vector<std::unique_ptr<Entry>> entries;
    entries.reserve(other.m_entries.size());
    for (const auto& entry : other.m_entries)
        entries.push_back(CopyWithoutObject(*entry));
    m_entries = std::move(entries);
    return *this;
}

CKVDataSelection::Entry* CKVDataSelection::At(int index)
{
    return index >= 0 && index < GetCount() ? m_entries[static_cast<size_t>(index)].get() : nullptr;
}

const CKVDataSelection::Entry* CKVDataSelection::At(int index) const
{
    return index >= 0 && index < GetCount() ? m_entries[static_cast<size_t>(index)].get() : nullptr;
}

CKVDataSelection::Entry& CKVDataSelection::Add(Entry entry)
{
    return Insert(GetCount(), std::move(entry));
}

CKVDataSelection::Entry& CKVDataSelection::Insert(int position, Entry entry)
{
    if (position < 0 || position > GetCount())
        position = GetCount();
    auto owned = std::make_unique<Entry>(std::move(entry));
    Entry& added = *owned;
    m_entries.insert(m_entries.begin() + position, std::move(owned));
    return added;
}

bool CKVDataSelection::GetEntry(int index, std::string& streamName, std::string& channelName) const
{
    const Entry* entry = At(index);
    if (!entry)
        return false;
    streamName = entry->streamName;
    channelName = entry->channelName;
    return true;
}

int CKVDataSelection::GetFirstEntryValue() const
{
    return m_entries.empty() ? 0 : m_entries.front()->value;
}

bool CKVDataSelection::ContainsStream(const std::string& streamName) const
{
    for (const auto& entry : m_entries)
        if (entry->streamName == streamName)
            return true;
    return false;
}

bool CKVDataSelection::Remove(const std::string& streamName, const std::string& channelName, int bit)
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = *m_entries[i];
        if (entry.streamName == streamName && entry.channelName == channelName && entry.bit == bit) {
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool CKVDataSelection::RemoveAt(int index)
{
    if (!At(index))
        return false;
    m_entries.erase(m_entries.begin() + index);
    return true;
}

void CKVDataSelection::RemoveAll()
{
    m_entries.clear();
}

void CKVDataSelection::DeleteEntryObjects()
{
    for (auto& entry : m_entries)
        entry->object.reset();
}
