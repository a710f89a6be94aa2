#include "tests/support/KvdTestFile.h"

#include <cstring>

KvdTestFile::~KvdTestFile()
{
    Close();
}

void KvdTestFile::Close()
{
    streams.clear();
    chain.Reset(nullptr, 0, 0);
    index.Clear();
    reader.Attach(nullptr);
    if (file)
        fclose(file);
    file = nullptr;
}

int KvdTestFile::Open(const std::string& path)
{
    Close();
    firstChunkTime = 0;
    file = fopen(path.c_str(), "rb");
    if (!file)
        return 1;
    reader.Attach(file);
    char magic[8];
    if (!reader.Read(magic, 8) || std::memcmp(magic, "KVTSTRM ", 8) != 0) {
        Close();
        return 2;
    }
    if (!header.Read(reader, listHeaderSize)) {
        Close();
        return 3;
    }
    const int32_t count = header.GetStreamCount();
    for (int32_t i = 0; i < count; ++i) {
        auto stream = std::make_unique<CKVTAStream>(this);
        if (const int rc = stream->Read(reader)) {
            Close();
            return 10 + rc;
        }
        streams.push_back(std::move(stream));
    }
    indexPosition = 0;
    if (header.GetVersion() == 0) {
        int64_t size = 0;
        if (!CKVTAFileHeader::ReadListStreams(reader, size)) {
            Close();
            return 3;
        }
    } else if (header.GetVersion() >= 3 && !CKVTAFileHeader::ReadIndexPosition(reader, indexPosition)) {
        Close();
        return 3;
    }
    dataStart = reader.Tell();
    KvtResetChain(chain, &reader, dataStart, static_cast<uint64_t>(indexPosition), *this, streams);
    storedIndexRejected = false;
    if (header.GetIndexFlag() != 0 && indexPosition > 0
        && !index.ReadStored(reader, static_cast<uint64_t>(indexPosition), dataStart)) {
        header.Set<int32_t>(Kvd::FileHeader::kIndexFlag, 0);
        storedIndexRejected = true;
    }
    const uint64_t start = header.GetStartTime();
    fileStamp = CKVTATimeStamp(header.GetRecordingTime(), start);
    startStamp = CKVTATimeStamp(start, start);
    stopStamp = CKVTATimeStamp(header.GetStopTime(), start);
    return 0;
}

void KvdTestFile::OnBlockHandedOut(uint64_t chunkStart)
{
    if (!KvtFirstBlockMovesStart(header.GetVersion(), firstChunkTime, header.GetStartTime(), chunkStart))
        return;
    header.Set<uint64_t>(Kvd::FileHeader::kStartTime, chunkStart);
    startStamp.SetTime(chunkStart);
    fileStamp.SetStart(chunkStart);
    startStamp.SetStart(chunkStart);
    stopStamp.SetStart(chunkStart);
}

std::vector<CKVTAStream*> KvdTestFile::StreamList() const
{
    std::vector<CKVTAStream*> list;
    for (const auto& stream : streams)
        list.push_back(stream.get());
    return list;
}
