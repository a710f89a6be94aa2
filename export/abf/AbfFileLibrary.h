#pragma once
// The ABF file library: creates, appends to, completes and closes ABF 1.83 files through small
// integer handles (a table of 64). Every operation returns true on success; on failure it
// returns false and stores an error number (AbfMessages.h) through `error` when that is given.

#include <cstdint>

#include "export/abf/AbfHeader.h"

constexpr int kAbfMaxFiles = 64;
// Flag of AbfWriteMultiplexData: the samples extend the last episode.
constexpr unsigned kAbfAppendToEpisode = 2;

// Creates `fileName` (an existing file is emptied) and writes `header` as its first header,
// with a new GUID, zeroed counts and section positions and its CRC; `header` receives what was
// written. `*handle` becomes the slot, -1 on failure (1003 table full, 1025 no descriptors,
// 1004 cannot create, 1015 header not written: the file is removed again). Flag 1 is kept.
[[nodiscard]] bool AbfOpenForWrite(const char* fileName, int* handle, unsigned flags,
                                   AbfFileHeader* header, int* error);

// Appends `count` samples (all channels, multiplexed; 2 bytes each, or 4 when the header's data
// format says float) in one write. Gap-free files (operation mode 3) keep one episode whatever
// `start`; other modes add a synch entry (start, count) per call, or extend the last one with
// flag 2. `header` receives the samples written and the episodes. 1002 bad handle, 1005 more
// samples than ABF's 32-bit counters hold, 1015 write failed (the file is cut back), 1023.
[[nodiscard]] bool AbfWriteMultiplexData(int handle, AbfFileHeader* header, unsigned flags,
                                         const void* samples, int32_t start, uint32_t count,
                                         int* error);

// Queues one tag for the tag section; `header` receives the tag count.
[[nodiscard]] bool AbfWriteTag(int handle, AbfFileHeader* header, const AbfTag* tag, int* error);

// Completes the file: synch array, tags and queued blocks after the samples, counts in the
// header, length padded to a multiple of 512, CRC-32 of the whole file, header rewritten at 0;
// `header` receives the completed header. A second call with nothing written in between does
// nothing and succeeds; after more samples or tags it completes the file again. On failure the
// file is cut back to its samples (1015, 1023, 1029, ...). The file stays open.
[[nodiscard]] bool AbfUpdateHeader(int handle, AbfFileHeader* header, int* error);

// Closes the file and frees its slot (also when the system reports a failure: 1015).
[[nodiscard]] bool AbfClose(int handle, int* error);
// Closes every open file, completing none.
void AbfCloseAllFiles();

// The open file's descriptor.
[[nodiscard]] bool AbfGetFileValue(int handle, int* value, int* error);

// Stores `number` through `error` when given; returns false, for `return AbfSetError(...)`.
bool AbfSetError(int* error, int number);

// CRC-32 of a whole file read from its start in large blocks (not used while writing, where the
// checksum is folded in as the bytes go out). False with 1006 when a read fails.
[[nodiscard]] bool AbfComputeFileCrc(int fd, uint32_t* crc, int* error);
