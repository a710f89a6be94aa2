#pragma once
// Judges the export of a damaged recording against what the writer's plan says the damage may
// and must cost: raw rows of a continuous recording, the sweeps of a triggered one, the records
// of an event stream.

#include <map>
#include <string>
#include <vector>

#include "tests/export/damaged/DamageTable.h"
#include "tests/export/damaged/MissingNames.h"
#include "tests/export/damaged/TableExport.h"

class LossOracle
{
public:
    // `sound` stays the caller's; recordings the oracle exports for reference go to `folder`.
    LossOracle(const SoundRecording& sound, const std::string& soundPath, const std::string& folder);

    // Empty when the sound export of `selection` holds what the plan does, every row (and every
    // sweep) in place, with status 0 and nothing said; else what is wrong.
    std::string SoundProblem(const ExportSelection& selection, ExportFormat format);

    // Empty when `got`, an export of the recording damaged by `damage`, is one the table allows;
    // else what is wrong with it.
    std::string Judge(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                      const ExportOutcome& got);

    // The time of each chunk `damage` may cost.
    std::vector<LostStretch> LostStretches(const std::vector<LostChunk>& lost) const;

private:
    // The export of a recording made from `plan` (written once as `name`), kept for reuse.
    const ExportOutcome& Reference(const std::string& name, const KvdRecordingPlan& plan,
                                   const ExportSelection& selection, ExportFormat format,
                                   unsigned lastSweep = 0);
    const ExportOutcome& Sound(const ExportSelection& selection, ExportFormat format, unsigned lastSweep = 0);

    std::string ShorterProblem(const KvdRecordingPlan& shorter, const ExportSelection& selection,
                               ExportFormat format, const ExportOutcome& got);
    std::string ContinuousProblem(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                                  const ExportOutcome& got);
    std::string SweepsProblem(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                              const ExportOutcome& got);
    std::string EventsProblem(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                              const ExportOutcome& got);

    // The sweeps (from 0) an export of a copy damaged by `damage` may refuse, and the sweep
    // count when it may write them all.
    std::vector<unsigned> AllowedRefusals(const Damage& damage, const ExportSelection& selection) const;
    // True when `got` refused sweep `refused` after the sweeps before it, or wrote them all.
    bool Refused(unsigned refused, const ExportSelection& selection, ExportFormat format,
                 const ExportOutcome& got);
    // True when the stretches `named` of an event stream are those of the chunks `lost` (`due`),
    // or reach, where the damaged heads no longer tell their times, as far as the chunks left;
    // with `unnamedHead` a stretch between the chunks left may be named without a due one.
    bool EventNamesFit(const std::vector<Stretch>& named, const std::vector<Stretch>& due,
                       const std::vector<size_t>& lost, bool unnamedHead) const;
    // What is wrong with `got` as the export of the event stream that lost `lost`; with
    // `openEnd` it may say where the file ends.
    std::string EventsLostProblem(const std::vector<size_t>& lost, bool unnamedHead, bool openEnd,
                                  const ExportSelection& selection, ExportFormat format, const ExportOutcome& got);
    // Where the sound recording's last chunk ends, in ms.
    int64_t PlannedEndMs() const;

    const SoundRecording& m_sound;
    std::string m_soundPath;
    std::string m_folder;
    std::map<std::string, ExportOutcome> m_references;
};
