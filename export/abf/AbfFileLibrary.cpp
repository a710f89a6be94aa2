#include "export/abf/AbfFileLibrary.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include <sys/stat.h>

#include "export/abf/AbfMessages.h"
#include "export/abf/CAbfFile.h"
#include "export/abf/CrcEngine.h"
#include "platform/File64.h"

namespace {

constexpr size_t kCrcReadBytes = 4 << 20;

std::unique_ptr<CAbfFile>* FileTable()
{
    static std::unique_ptr<CAbfFile> files[kAbfMaxFiles];
    return files;
}

// The slot of a free handle, or -1 when all are taken.
int AbfAllocateFileSlot()
{
    std::unique_ptr<CAbfFile>* files = FileTable();
    for (int i = 0; i < kAbfMaxFiles; ++i)
        if (!files[i])
            return i;
    return -1;
}

CAbfFile* AbfGetFileObject(int handle, int* error)
{
    if (handle < 0 || handle >= kAbfMaxFiles || !FileTable()[handle]) {
        AbfSetError(error, kAbfBadFileIndex);
        return nullptr;
    }
    return FileTable()[handle].get();
}

} // namespace

bool AbfSetError(int* error, int number)
{
    if (error)
        *error = number;
    return false;
}

bool AbfOpenForWrite(const char* fileName, int* handle, unsigned flags, AbfFileHeader* header,
                     int* error)
{
    if (handle)
        *handle = -1;
    if (!fileName || !*fileName || !handle || !header)
        return AbfSetError(error, kAbfOpenFailed);
    const int slot = AbfAllocateFileSlot();
    if (slot < 0)
        return AbfSetError(error, kAbfTooManyFiles);
    std::unique_ptr<CAbfFile> file(new (std::nothrow) CAbfFile);
    if (!file)
        return AbfSetError(error, kAbfOutOfMemory);
    if (int rc = file->Create(fileName, flags))
        return AbfSetError(error, rc);
    if (int rc = file->Start(*header)) {
        file->Discard();
        return AbfSetError(error, rc);
    }
    FileTable()[slot] = std::move(file);
    *handle = slot;
    return true;
}

bool AbfWriteMultiplexData(int handle, AbfFileHeader* header, unsigned flags, const void* samples,
                           int32_t start, uint32_t count, int* error)
{
    CAbfFile* file = AbfGetFileObject(handle, error);
    if (!file)
        return false;
    if (!header)
        return AbfSetError(error, kAbfInvalidParameters);
    if (int rc = file->WriteMultiplexData(*header, flags, samples, start, count))
        return AbfSetError(error, rc);
    return true;
}

bool AbfWriteTag(int handle, AbfFileHeader* header, const AbfTag* tag, int* error)
{
    CAbfFile* file = AbfGetFileObject(handle, error);
    if (!file)
        return false;
    if (!header || !tag)
        return AbfSetError(error, kAbfInvalidParameters);
    if (int rc = file->WriteTag(*header, *tag))
        return AbfSetError(error, rc);
    return true;
}

bool AbfUpdateHeader(int handle, AbfFileHeader* header, int* error)
{
    CAbfFile* file = AbfGetFileObject(handle, error);
    if (!file)
        return false;
    if (!header)
        return AbfSetError(error, kAbfInvalidParameters);
    if (int rc = file->UpdateHeader(*header))
        return AbfSetError(error, rc);
    return true;
}

bool AbfClose(int handle, int* error)
{
    CAbfFile* file = AbfGetFileObject(handle, error);
    if (!file)
        return false;
    const int rc = file->Close();
    FileTable()[handle].reset();
    return rc == 0 ? true : AbfSetError(error, rc);
}

void AbfCloseAllFiles()
{
    for (int i = 0; i < kAbfMaxFiles; ++i)
        FileTable()[i].reset();
}

bool AbfGetFileValue(int handle, int* value, int* error)
{
    CAbfFile* file = AbfGetFileObject(handle, error);
    if (!file)
        return false;
    if (value)
        *value = file->Fd();
    return true;
}

bool AbfComputeFileCrc(int fd, uint32_t* crc, int* error)
{
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0)
        return AbfSetError(error, kAbfReadFailed);
    std::unique_ptr<CrcEngine> engine = CrcEngine::Create(CrcEngine::kCrc32);
    std::vector<uint8_t> block(kCrcReadBytes);
    const uint64_t length = static_cast<uint64_t>(info.st_size);
    for (uint64_t at = 0; at < length;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), length - at));
        if (ReadFullyAt(fd, block.data(), want, at).bytes != want)
            return AbfSetError(error, kAbfReadFailed);
        engine->Update(block.data(), want);
        at += want;
    }
    if (crc)
        *crc = engine->GetResult();
    return true;
}
