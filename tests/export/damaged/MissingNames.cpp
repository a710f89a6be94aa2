#include "tests/export/damaged/MissingNames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <tuple>

#include "tests/export/damaged/ProblemText.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// One "Data missing from A s to B s in <stream>: <ending>" line; false for any other.
bool ReadName(const std::string& line, const std::string& ending, Stretch& stretch)
{
    double from = 0;
    double to = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "Data missing from %lf s to %lf s in %n", &from, &to, &used) != 2 || used == 0)
        return false;
    const std::string rest = line.substr(static_cast<size_t>(used));
    const std::string tail = ": " + ending;
    if (rest.size() <= tail.size() || rest.compare(rest.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    stretch.stream = rest.substr(0, rest.size() - tail.size());
    stretch.fromMs = std::llround(from * 1000);
    stretch.toMs = std::llround(to * 1000);
    stretch.ending = ending;
    return true;
}

std::string Text(const Stretch& s)
{
    char text[200];
    std::snprintf(text, sizeof text, "%.3f-%.3f s %s", s.fromMs / 1000.0, s.toMs / 1000.0, s.stream.c_str());
    return text;
}

// The lost stretches of `stream`, by start.
std::vector<LostStretch> LostOf(const std::vector<LostStretch>& lost, const std::string& stream)
{
    std::vector<LostStretch> of;
    for (const LostStretch& l : lost)
        if (l.time.stream == stream)
            of.push_back(l);
    std::sort(of.begin(), of.end(), [](const LostStretch& a, const LostStretch& b) { return a.time < b.time; });
    return of;
}

// True when `named` is made of whole lost chunks of its stream, one after the other, or runs
// from one to `openEndMs`.
bool MadeOfLostChunks(const Stretch& named, const std::vector<LostStretch>& lost, int64_t openEndMs)
{
    const std::vector<LostStretch> of = LostOf(lost, named.stream);
    int64_t reached = named.fromMs;
    bool started = false;
    for (const LostStretch& l : of) {
        if (!started && l.time.fromMs == named.fromMs)
            started = true;
        if (started && l.time.fromMs <= reached && l.time.toMs > reached)
            reached = l.time.toMs;
        if (started && reached == named.toMs)
            return true;
    }
    return started && openEndMs != 0 && named.toMs <= reached && named.toMs <= openEndMs && named.toMs > named.fromMs;
}

// True when the named stretches of `must`'s stream hold [from, min(to, coveredTo)).
bool IsNamed(const LostStretch& must, const std::vector<Stretch>& named, int64_t coveredToMs)
{
    int64_t reached = must.time.fromMs;
    const int64_t end = std::min(must.time.toMs, coveredToMs);
    for (bool grew = true; grew && reached < end;) {
        grew = false;
        for (const Stretch& n : named) {
            if (n.stream == must.time.stream && n.fromMs <= reached && n.toMs > reached) {
                reached = n.toMs;
                grew = true;
            }
        }
    }
    return reached >= end;
}

} // namespace

bool Stretch::operator<(const Stretch& other) const
{
    return std::tie(stream, fromMs, toMs) < std::tie(other.stream, other.fromMs, other.toMs);
}

bool Stretch::operator==(const Stretch& other) const
{
    return std::tie(stream, fromMs, toMs) == std::tie(other.stream, other.fromMs, other.toMs);
}

bool MissingNames::Names(const std::string& stream, int64_t us) const
{
    return std::any_of(named.begin(), named.end(), [&](const Stretch& s) {
        return s.stream == stream && us >= s.fromMs * 1000 && us < s.toMs * 1000;
    });
}

MissingNames ReadMissingNames(const std::vector<std::string>& messages, const std::vector<std::string>& endings)
{
    MissingNames names;
    for (const std::string& message : messages) {
        for (const std::string& line : SplitLines(message)) {
            Stretch stretch;
            const bool read = std::any_of(endings.begin(), endings.end(),
                                          [&](const std::string& ending) { return ReadName(line, ending, stretch); });
            if (read)
                names.named.push_back(stretch);
            else
                names.others.push_back(line);
        }
    }
    return names;
}

std::vector<int64_t> TakeCutEnds(MissingNames& names)
{
    static const std::string kTail = " s: it was cut short; the rest is missing.";
    std::vector<int64_t> ends;
    std::vector<std::string> others;
    for (const std::string& line : names.others) {
        double at = 0;
        int used = 0;
        const bool read = std::sscanf(line.c_str(), "The file ends inside a chunk at %lf%n", &at, &used) == 1
                          && line.compare(static_cast<size_t>(used), std::string::npos, kTail) == 0;
        if (read)
            ends.push_back(std::llround(at * 1000));
        else
            others.push_back(line);
    }
    names.others = others;
    return ends;
}

std::string NamesProblem(const MissingNames& names, const std::vector<LostStretch>& lost,
                         const ExportSelection& selection, int64_t openEndMs, int64_t coveredToMs)
{
    std::string problems;
    const auto add = [&](const std::string& text) { AddProblem(problems, text); };
    if (!names.others.empty())
        add("says \"" + names.others.front() + "\"");
    std::vector<Stretch> sorted = names.named;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i) {
        const Stretch& n = sorted[i];
        if (i > 0 && sorted[i - 1].stream == n.stream && sorted[i - 1].toMs > n.fromMs)
            add("names " + Text(n) + " twice");
        else if (!selection.Selects(n.stream))
            add("names " + Text(n) + ", a stream not selected");
        else if (!MadeOfLostChunks(n, lost, openEndMs))
            add("names " + Text(n) + ", not the time of a damaged chunk");
    }
    for (const LostStretch& l : lost)
        if (l.must && selection.Selects(l.time.stream) && !IsNamed(l, names.named, coveredToMs))
            add("does not name the lost " + Text(l.time));
    return problems;
}

std::string Describe(const std::vector<Stretch>& stretches)
{
    if (stretches.empty())
        return "none";
    std::string text;
    for (const Stretch& s : stretches)
        text += (text.empty() ? "" : ", ") + Text(s);
    return text;
}
