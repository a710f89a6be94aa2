#include "tests/export/damaged/LossOracle.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "export/core/CConvertInterface.h"
#include "tests/export/damaged/ExportRows.h"
#include "tests/export/damaged/ProblemText.h"

namespace {

constexpr uint64_t kNsPerMs = 1000000;

// What an export may say of the rows of a named stretch. Text rows of samples are written with
// the stream's cells left empty while another stream has a value, and left out when none has;
// events are never written where their stream lost time.
std::vector<std::string> Endings(ExportFormat format, bool samples)
{
    if (format != ExportFormat::Ascii)
        return {"filled with 0 V."};
    if (samples)
        return {"left empty.", "not written."};
    return {"not written."};
}

// The times (microseconds) of the rows of a text export: the lines led by a number.
std::vector<int64_t> TextRowsUs(const ExportOutcome& o)
{
    std::vector<int64_t> times;
    const std::string text(o.bytes.begin(), o.bytes.end());
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find("\r\n", at), text.size());
        const char first = text[at];
        if (end > at && ((first >= '0' && first <= '9') || first == '-'))
            times.push_back(std::llround(std::strtod(text.c_str() + at, nullptr) * 1000));
        at = end + 2;
    }
    return times;
}

size_t RowsIn(const std::vector<int64_t>& times, const Stretch& s)
{
    return static_cast<size_t>(std::count_if(times.begin(), times.end(), [&](int64_t us) {
        return us >= s.fromMs * 1000 && us < s.toMs * 1000;
    }));
}

// What is wrong with the endings of the named stretches of a text export: "left empty." where
// its rows are written as the sound export has them, "not written." where no row is.
std::string EndingsProblem(const MissingNames& names, const ExportOutcome& sound, const ExportOutcome& got)
{
    const std::vector<int64_t> soundRows = TextRowsUs(sound);
    const std::vector<int64_t> gotRows = TextRowsUs(got);
    std::string problems;
    for (const Stretch& n : names.named) {
        const size_t rows = RowsIn(gotRows, n);
        const bool fits = n.ending == "left empty." ? rows > 0 && rows == RowsIn(soundRows, n) : rows == 0;
        if (!fits)
            AddProblem(problems, "says " + Describe({n}) + " is " + n.ending.substr(0, n.ending.size() - 1)
                                     + " where the export holds " + std::to_string(rows) + " of its rows");
    }
    return problems;
}

std::string StatusProblem(int rc, bool named)
{
    const int want = named ? kConvertReported : kConvertOk;
    if (rc == want)
        return {};
    return "result " + std::to_string(rc) + " where " + std::to_string(want) + " is due"
           + (named ? " (it names missing data)" : " (it names nothing)");
}

// What is wrong with where `got` says the file ends (`ends`, in ms): said once at most, as its
// last message, at a time in [loMs, hiMs].
std::string CutEndProblem(const std::vector<int64_t>& ends, const ExportOutcome& got, int64_t loMs, int64_t hiMs)
{
    if (ends.empty())
        return {};
    if (ends.size() > 1)
        return "says " + std::to_string(ends.size()) + " times where the file ends";
    if (got.messages.back().rfind("The file ends inside a chunk at ", 0) != 0)
        return "says where the file ends before its last message";
    if (ends.front() < loMs || ends.front() > hiMs)
        return "says the file ends at " + std::to_string(ends.front()) + " ms where " + std::to_string(loMs)
               + "-" + std::to_string(hiMs) + " ms is due";
    return {};
}

std::string Said(const ExportOutcome& o)
{
    return o.messages.empty() ? "nothing" : "\"" + JoinTexts(o.messages, " | ") + "\"";
}

std::vector<std::string> RefusalMessages(unsigned refused, unsigned sweeps)
{
    if (refused == sweeps)
        return {};
    return {"Error reading sweep " + std::to_string(refused + 1) + ". Stopped conversion."};
}

std::string RefusalText(unsigned refused, unsigned sweeps)
{
    return refused < sweeps ? "sweep " + std::to_string(refused + 1) + " refused" : "all sweeps";
}

// The plan without the events (spikes or triggers) of `chunks`.
KvdRecordingPlan WithoutEvents(const KvdRecordingPlan& plan, const std::vector<KvdPlannedChunk>& chunks)
{
    KvdRecordingPlan less = plan;
    for (const KvdPlannedChunk& chunk : chunks) {
        std::vector<int>& events = chunk.stream == "Spikes 1" ? less.spikeMs : less.triggerMs;
        const auto inChunk = [&](int ms) {
            const uint64_t ns = static_cast<uint64_t>(ms) * kNsPerMs;
            return ns >= chunk.startNs && ns < chunk.stopNs;
        };
        events.erase(std::remove_if(events.begin(), events.end(), inChunk), events.end());
    }
    return less;
}

// A name for the reference recording of `shorter`, one of the shapes a cut leaves of the sound
// plan: each keeps fewer slots or sweeps, events and the slots its streams lack.
std::string ShorterName(const KvdRecordingPlan& shorter)
{
    std::string name = "shorter-" + std::to_string(shorter.triggered ? shorter.sweeps : shorter.chunks) + "-"
                       + std::to_string(shorter.triggerMs.size()) + "-" + std::to_string(shorter.spikeMs.size());
    for (const KvdRawStreamPlan& stream : shorter.streams)
        name += "-" + std::to_string(stream.missingSlots.size());
    return name;
}

} // namespace

LossOracle::LossOracle(const SoundRecording& sound, const std::string& soundPath, const std::string& folder)
    : m_sound(sound), m_soundPath(soundPath), m_folder(folder)
{
}

std::vector<LostStretch> LossOracle::LostStretches(const std::vector<LostChunk>& lost) const
{
    std::vector<LostStretch> stretches;
    for (const LostChunk& l : lost) {
        const KvdPlannedChunk& chunk = m_sound.chunks[l.chunk];
        const Stretch time {chunk.stream, static_cast<int64_t>(chunk.startNs / kNsPerMs),
                            static_cast<int64_t>(chunk.stopNs / kNsPerMs), {}};
        stretches.push_back({time, l.must});
    }
    return stretches;
}

const ExportOutcome& LossOracle::Reference(const std::string& name, const KvdRecordingPlan& plan,
                                           const ExportSelection& selection, ExportFormat format,
                                           unsigned lastSweep)
{
    const std::string key = name + "|" + selection.name + "|" + FormatName(format) + "|" + std::to_string(lastSweep);
    const auto found = m_references.find(key);
    if (found != m_references.end())
        return found->second;
    std::string path = m_soundPath;
    if (name != "sound") {
        path = m_folder + "/" + name + ".kvd";
        if (!WriteKvdRecording(plan, path))
            path.clear();
    }
    return m_references[key] = RunExport(format, selection, plan.rateHz, path, m_folder + "/reference.out", lastSweep);
}

const ExportOutcome& LossOracle::Sound(const ExportSelection& selection, ExportFormat format, unsigned lastSweep)
{
    return Reference("sound", m_sound.plan, selection, format, lastSweep);
}

std::string LossOracle::SoundProblem(const ExportSelection& selection, ExportFormat format)
{
    const ExportOutcome& sound = Sound(selection, format);
    std::string problems;
    AddProblem(problems, StatusProblem(sound.rc, false));
    if (!sound.messages.empty())
        AddProblem(problems, "says " + Said(sound));
    if (sound.bytes.empty())
        AddProblem(problems, "wrote nothing");
    if (format == ExportFormat::Ascii
        && RunExport(format, selection, m_sound.plan.rateHz, m_soundPath, m_folder + "/fast.out", 0, {}, true).bytes
               != sound.bytes)
        AddProblem(problems, "the text converter's fast mode writes other bytes");
    if (IsRawSelection(m_sound.plan, selection))
        AddProblem(problems, PlannedRowsProblem(m_sound.plan, RawColumns(m_sound.plan, selection, format), format,
                                                sound));
    return problems;
}

std::string LossOracle::Judge(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                              const ExportOutcome& got)
{
    if (damage.shorter)
        return ShorterProblem(*damage.shorter, selection, format, got);
    if (!IsRawSelection(m_sound.plan, selection))
        return EventsProblem(damage, selection, format, got);
    // A version-0 file stores no mode: it is told by the gaps between the chunks, and a copy cut
    // before the second sweep has none. It may then be read as continuous; either way the loss
    // must be told.
    if (m_sound.plan.triggered && damage.openEnd && m_sound.plan.fileVersion == 0)
        return got.rc == kConvertReported && !got.messages.empty() ? std::string()
                                                                   : "result " + std::to_string(got.rc)
                                                                         + " and says " + Said(got)
                                                                         + "; due: the cut named or its sweep refused";
    if (m_sound.plan.triggered)
        return SweepsProblem(damage, selection, format, got);
    return ContinuousProblem(damage, selection, format, got);
}

std::string LossOracle::ShorterProblem(const KvdRecordingPlan& shorter, const ExportSelection& selection,
                                       ExportFormat format, const ExportOutcome& got)
{
    const ExportOutcome& want = Reference(ShorterName(shorter), shorter, selection, format);
    std::string problems;
    AddProblem(problems, StatusProblem(got.rc, false));
    if (!got.messages.empty())
        AddProblem(problems, "says " + Said(got));
    if (got.bytes != want.bytes)
        AddProblem(problems, std::to_string(got.bytes.size()) + " bytes differ from the "
                                 + std::to_string(want.bytes.size()) + " of the recording as far as it is whole");
    return problems;
}

std::string LossOracle::ContinuousProblem(const Damage& damage, const ExportSelection& selection,
                                          ExportFormat format, const ExportOutcome& got)
{
    MissingNames names = ReadMissingNames(got.messages, Endings(format, true));
    const std::vector<int64_t> ends = damage.openEnd ? TakeCutEnds(names) : std::vector<int64_t>();
    const std::vector<RawColumn> columns = RawColumns(m_sound.plan, selection, format);
    std::vector<LostStretch> lost = LostStretches(damage.lost);
    for (const UntoldTime& u : damage.untold) {
        const Stretch time {u.stream, static_cast<int64_t>(u.startNs / kNsPerMs),
                            static_cast<int64_t>(u.stopNs / kNsPerMs), {}};
        lost.push_back({time, false});
    }
    const int rate = m_sound.plan.rateHz;
    std::string problems =
        RowsProblem(format, columns, rate, Sound(selection, format), got, names, damage.openEnd);
    if (format == ExportFormat::Ascii)
        AddProblem(problems, EndingsProblem(names, Sound(selection, format), got));
    if (!damage.openEnd) {
        AddProblem(problems, NamesProblem(names, lost, selection));
    } else {
        // Where the file no longer tells its end, the export names what it lost up to where it
        // ended, and a chunk of a selected stream cut in two: by a stretch, or by saying where
        // the file ends. ".raw" and ABF rows run up to that end, filled where lost; text leaves
        // out the rows that no stream has.
        const int64_t rowsEnd = RowsEndMs(format, columns, rate, got);
        AddProblem(problems, NamesProblem(names, lost, selection, m_sound.plan.chunks * m_sound.plan.chunkMs,
                                          rowsEnd));
        AddProblem(problems, CutEndProblem(ends, got, rowsEnd - 1,
                                           format == ExportFormat::Ascii ? PlannedEndMs() : rowsEnd + 1));
        const bool cutSelected = std::any_of(lost.begin(), lost.end(), [&](const LostStretch& l) {
            return l.must && selection.Selects(l.time.stream);
        });
        if (cutSelected && names.named.empty() && ends.empty())
            AddProblem(problems, "names nothing though a selected stream's chunk is cut");
    }
    AddProblem(problems, StatusProblem(got.rc, !names.named.empty() || !ends.empty()));
    return problems;
}

std::vector<unsigned> LossOracle::AllowedRefusals(const Damage& damage, const ExportSelection& selection) const
{
    const KvdRecordingPlan& plan = m_sound.plan;
    const unsigned sweeps = static_cast<unsigned>(plan.sweeps);
    std::vector<bool> met(sweeps, false);
    unsigned firstMust = sweeps;
    for (const LostStretch& l : LostStretches(damage.lost)) {
        for (unsigned s = 0; s < sweeps && selection.Selects(l.time.stream); ++s) {
            const int64_t startMs = static_cast<int64_t>(KvdSweepStartNs(plan, static_cast<int>(s)) / kNsPerMs);
            if (l.time.fromMs < startMs + plan.sweepMs && l.time.toMs > startMs) {
                met[s] = true;
                if (l.must)
                    firstMust = std::min(firstMust, s);
            }
        }
    }
    // Any sweep a loss meets, up to the first one a loss must meet; all when none must.
    std::vector<unsigned> allowed;
    for (unsigned s = 0; s < sweeps && s <= firstMust; ++s)
        if (met[s])
            allowed.push_back(s);
    if (firstMust == sweeps)
        allowed.push_back(sweeps);
    return allowed;
}

bool LossOracle::Refused(unsigned refused, const ExportSelection& selection, ExportFormat format,
                         const ExportOutcome& got)
{
    if (refused == static_cast<unsigned>(m_sound.plan.sweeps))
        return got.bytes == Sound(selection, format).bytes;
    if (refused == 0)
        return HoldsNoRow(format, got);
    return got.bytes == Sound(selection, format, refused).bytes;
}

std::string LossOracle::SweepsProblem(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                                      const ExportOutcome& got)
{
    const unsigned sweeps = static_cast<unsigned>(m_sound.plan.sweeps);
    const std::vector<unsigned> allowed = AllowedRefusals(damage, selection);
    std::vector<std::string> choices;
    for (unsigned refused : allowed) {
        const int rc = refused < sweeps ? kConvertReported : kConvertOk;
        if (got.rc == rc && got.messages == RefusalMessages(refused, sweeps)
            && Refused(refused, selection, format, got))
            return {};
        choices.push_back(RefusalText(refused, sweeps));
    }
    std::string holds = "no run of whole sweeps";
    for (unsigned refused = 0; refused <= sweeps; ++refused)
        if (Refused(refused, selection, format, got))
            holds = refused < sweeps ? "the sweeps before sweep " + std::to_string(refused + 1) : "all sweeps";
    return "result " + std::to_string(got.rc) + ", says " + Said(got) + ", holds " + holds
           + "; due: " + JoinTexts(choices, " or ");
}

bool LossOracle::EventNamesFit(const std::vector<Stretch>& named, const std::vector<Stretch>& due,
                               const std::vector<size_t>& lost, bool unnamedHead) const
{
    // Events last no time: where a damaged head no longer tells its chunk's times, the whole
    // time between the chunks of its stream that are left is missing. So each named stretch
    // holds due ones and lies between the chunks left around them (or the recording's ends),
    // and every due stretch is named.
    const auto left = [&](const std::string& stream, int64_t fromMs, int64_t toMs) {
        int64_t lo = 0;
        int64_t hi = static_cast<int64_t>(m_sound.plan.chunks) * m_sound.plan.chunkMs;
        for (size_t c = 0; c < m_sound.chunks.size(); ++c) {
            const KvdPlannedChunk& chunk = m_sound.chunks[c];
            if (chunk.stream != stream || std::find(lost.begin(), lost.end(), c) != lost.end())
                continue;
            const int64_t start = static_cast<int64_t>(chunk.startNs / kNsPerMs);
            const int64_t stop = static_cast<int64_t>(chunk.stopNs / kNsPerMs);
            if (stop <= fromMs)
                lo = std::max(lo, stop);
            if (start >= toMs)
                hi = std::min(hi, start);
        }
        return std::make_pair(lo, hi);
    };
    for (const Stretch& n : named) {
        bool holdsDue = false;
        for (const Stretch& d : due)
            holdsDue = holdsDue || (d.stream == n.stream && d.fromMs >= n.fromMs && d.toMs <= n.toMs);
        // A head that names no stream may have been any event stream's: the time between that
        // stream's chunks around it may be named as well.
        const auto bounds = left(n.stream, n.fromMs, n.toMs);
        if ((!holdsDue && !unnamedHead) || n.fromMs < bounds.first || n.toMs > bounds.second)
            return false;
    }
    for (const Stretch& d : due) {
        const bool isNamed = std::any_of(named.begin(), named.end(), [&](const Stretch& n) {
            return n.stream == d.stream && d.fromMs >= n.fromMs && d.toMs <= n.toMs;
        });
        if (!isNamed)
            return false;
    }
    return true;
}

int64_t LossOracle::PlannedEndMs() const
{
    uint64_t end = 0;
    for (const KvdPlannedChunk& chunk : m_sound.chunks)
        end = std::max(end, chunk.stopNs);
    return static_cast<int64_t>(end / kNsPerMs);
}

std::string LossOracle::EventsLostProblem(const std::vector<size_t>& lost, bool unnamedHead, bool openEnd,
                                          const ExportSelection& selection, ExportFormat format,
                                          const ExportOutcome& got)
{
    std::vector<KvdPlannedChunk> chunks;
    std::vector<LostChunk> lostChunks;
    std::string name = "events-less";
    for (size_t chunk : lost) {
        chunks.push_back(m_sound.chunks[chunk]);
        lostChunks.push_back({chunk, true});
        name += "-" + std::to_string(chunk);
    }
    std::vector<Stretch> due;
    for (const LostStretch& l : LostStretches(lostChunks))
        due.push_back(l.time);
    std::sort(due.begin(), due.end());
    MissingNames names = ReadMissingNames(got.messages, Endings(format, false));
    const std::vector<int64_t> ends = openEnd ? TakeCutEnds(names) : std::vector<int64_t>();
    // Saying where the file ends names all the time behind it.
    if (ends.size() == 1) {
        for (Stretch& d : due)
            d.toMs = std::min(d.toMs, ends.front());
        due.erase(std::remove_if(due.begin(), due.end(), [](const Stretch& d) { return d.toMs <= d.fromMs; }),
                  due.end());
    }
    std::vector<Stretch> named = names.named;
    std::sort(named.begin(), named.end());

    std::string problems =
        StatusProblem(got.rc, !due.empty() || (unnamedHead && !named.empty()) || !ends.empty());
    // The file ends behind every stretch it names as lost.
    int64_t namedTo = 0;
    for (const Stretch& n : named)
        namedTo = std::max(namedTo, n.toMs);
    AddProblem(problems, CutEndProblem(ends, got, namedTo, PlannedEndMs()));
    if (!names.others.empty() || !EventNamesFit(named, due, lost, unnamedHead))
        AddProblem(problems, "names " + Describe(named) + (names.others.empty() ? "" : " and says " + Said(got))
                                 + " where " + Describe(due) + " is due");
    const ExportOutcome& want = Reference(name, WithoutEvents(m_sound.plan, chunks), selection, format);
    if (got.bytes != want.bytes)
        AddProblem(problems, std::to_string(got.bytes.size()) + " bytes differ from the "
                                 + std::to_string(want.bytes.size()) + " of "
                                 + (due.empty() ? "every record" : "the records left"));
    return problems;
}

std::string LossOracle::EventsProblem(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                                      const ExportOutcome& got)
{
    // The chunks of the selected event stream the damage may cost, and those it must.
    std::vector<size_t> may;
    std::set<size_t> must;
    for (const LostChunk& l : damage.lost) {
        if (!selection.Selects(m_sound.chunks[l.chunk].stream))
            continue;
        if (std::find(may.begin(), may.end(), l.chunk) == may.end())
            may.push_back(l.chunk);
        if (l.must)
            must.insert(l.chunk);
    }
    // Each choice of chunks lost, the ones that must be among them; the first choice loses
    // just those, and its problems are told when no choice fits.
    std::string first;
    for (unsigned choice = 0; choice < (1u << may.size()); ++choice) {
        std::vector<size_t> lost;
        for (size_t i = 0; i < may.size(); ++i)
            if ((choice >> i) & 1u)
                lost.push_back(may[i]);
        if (!std::all_of(must.begin(), must.end(),
                         [&](size_t m) { return std::find(lost.begin(), lost.end(), m) != lost.end(); }))
            continue;
        const std::string problem =
            EventsLostProblem(lost, damage.unnamedHead, damage.openEnd, selection, format, got);
        if (problem.empty())
            return {};
        if (first.empty())
            first = problem;
    }
    return first;
}
