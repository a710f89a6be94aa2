#pragma once
// The stretches an export names as missing ("Data missing from 0.300 s to 0.400 s in Digital
// Data: filled with 0 V."), and whether they are the ones a damage may or must cost.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/export/damaged/TableExport.h"

// A stretch of one stream's time, in ms from the recording start.
struct Stretch
{
    std::string stream;
    int64_t fromMs = 0;
    int64_t toMs = 0;
    std::string ending;   // what a named stretch says of its rows ("not written."); not compared

    bool operator<(const Stretch& other) const;
    bool operator==(const Stretch& other) const;
};

// A chunk's time that an export may lack, or must lack.
struct LostStretch
{
    Stretch time;
    bool must = false;
};

struct MissingNames
{
    std::vector<Stretch> named;
    std::vector<std::string> others;   // message lines that are not such names

    // True when a named stretch of `stream` holds `us` (microseconds from the start).
    bool Names(const std::string& stream, int64_t us) const;
};

// Every line of `messages` read as "Data missing from A s to B s in <stream>: <ending>", with
// one of `endings`; any other line lands in `others`.
MissingNames ReadMissingNames(const std::vector<std::string>& messages, const std::vector<std::string>& endings);

// Takes the lines "The file ends inside a chunk at T s: it was cut short; the rest is
// missing." out of `names.others` and returns their times in ms, in the order said.
std::vector<int64_t> TakeCutEnds(MissingNames& names);

// What is wrong with the names of an export of `selection`: a stretch named twice, one of a
// stream not selected, one that is not made of whole lost chunks of its stream (up to
// `openEndMs` when that is not 0: the file no longer tells where it ends), or a stretch that
// must be lost and is not named (up to `coveredToMs`). Empty when nothing is.
std::string NamesProblem(const MissingNames& names, const std::vector<LostStretch>& lost,
                         const ExportSelection& selection, int64_t openEndMs = 0,
                         int64_t coveredToMs = INT64_MAX);

// "0.300-0.400 s Digital Data, ..." for a failure message.
std::string Describe(const std::vector<Stretch>& stretches);
