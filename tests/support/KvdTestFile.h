#pragma once
// A minimal owning file for tests of streams, blocks and cursors: opens a built file, reads the
// header and the streams, and serves them the chunk chain.

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datafile/container/CFileReader.h"
#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/CKVTAFileContext.h"
#include "datafile/container/CKVTAFileHeader.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTAStreamIndex.h"
#include "datafile/container/CKVTATimeStamp.h"

class KvdTestFile : public CKVTAFileContext
{
public:
    KvdTestFile() = default;
    ~KvdTestFile() override;

    // 0 open; 1 cannot open; 2 not a recorded-data file; 3 header, stream or index-position
    // failure; otherwise the failing stream's result + 10.
    int Open(const std::string& path);
    void Close();

    uint16_t GetHeaderVersion() const override { return header.GetVersion(); }
    int32_t GetProgramVersion() const override { return header.GetProgramVersion(); }
    int32_t GetRecordingMode() const override { return header.GetRecordingMode(); }
    uint64_t GetStartTime() const override { return header.GetStartTime(); }
    uint64_t GetStopTime() const override { return stopStamp.GetTime(); }
    CKVTAChunkChain* GetChunkChain() override { return file ? &chain : nullptr; }
    const CKVTAStreamIndex* GetStreamIndex() const override { return &index; }
    void OnBlockHandedOut(uint64_t chunkStart) override;
    int ReportProgress(const char* text, int percent) override
    {
        return progress ? progress(text, percent) : 0;
    }
    std::vector<CKVTAStream*> StreamList() const;

    CKVTAStream* Stream(size_t i) const { return i < streams.size() ? streams[i].get() : nullptr; }

    FILE* file = nullptr;
    CFileReader reader;
    CKVTAChunkChain chain;
    CKVTAFileHeader header;
    int64_t listHeaderSize = 0;
    int64_t indexPosition = 0;
    uint64_t dataStart = 0;
    uint64_t firstChunkTime = 0;
    CKVTATimeStamp fileStamp;
    CKVTATimeStamp startStamp;
    CKVTATimeStamp stopStamp;
    std::vector<std::unique_ptr<CKVTAStream>> streams;
    CKVTAStreamIndex index;
    bool storedIndexRejected = false;
    std::function<int(const char*, int)> progress;
};
