#pragma once
// One export dialog over generated recordings, for the dialog tests: a scratch folder that is
// also the settings folder, the document, the fake (or real) button panels, message and file
// dialogs answered by script, and the console program to compare outputs with.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include <QStringList>

#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "app/gui/dialogs/CDlgSelection.h"
#include "app/gui/ExportCommand.h"
#include "platform/CMessageReporter.h"
#include "tests/app/gui/dialogs/FakeKeyrow.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// Layout fields of the file header, patched into a generated recording.
struct LayoutPlan
{
    int32_t kind = 0;          // 0 plain, 1 single array, 2 double array
    uint16_t electrodes = 0;
    uint16_t analog = 0;
    uint16_t digital = 0;
    uint16_t total = 0;
};

// Writes the recording and sets its header's layout fields; false when writing fails.
bool WriteRecording(const KvdRecordingPlan& plan, const LayoutPlan& layout, const std::string& path);

// An electrode stream whose channel names are the plain layout's labels "01", "02", ...
KvdRawStreamPlan ElectrodeStream(int channels);
KvdRawStreamPlan DigitalStream();

class CCollectingReporter : public CMessageReporter
{
public:
    void Report(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

class ExportScene
{
public:
    // With `fakePanels` the button panels are fakes; without, the real control is created
    // through the COM registry.
    explicit ExportScene(bool fakePanels = true);
    ~ExportScene();

    std::string File(const std::string& name) const { return dir.File(name); }
    // Opens one recording, or several as a set.
    void Open(const std::vector<std::string>& paths);

    // Runs the export command; `drive` gets the initialised, shown dialog (false from
    // Initialize leaves `drive` uncalled).
    void Run(ExportFormat format, const std::function<void(CDlgSelection&)>& drive, int splitPermission = 0);

    // The messages shown so far, then cleared.
    QStringList TakeMessages();

    TempDir dir;
    ScopedEnv config;
    CCollectingReporter reporter;
    CSondrelDoc doc{reporter};
    std::unique_ptr<FakeKeyrowSet> fakeSet;
    FakeKeyrowSet& fakes;
    QStringList messages;
    // Answers a Yes/No message; Yes unless set.
    std::function<int(const QString&)> answer;
    // Answers the file dialogs in order; empty when none is left (cancelled).
    QStringList fileAnswers;
    int exitStatus = -1;
};

// The console program on `args`; its exit status (-1 when it cannot be run).
int RunConsole(const std::vector<std::string>& args, std::string* output = nullptr);

// Clicks a widget of the dialog by id.
void ClickControl(CDlgSelection& dlg, int id);
// Chooses the stream list line that reads `name`.
void ChooseStream(CDlgSelection& dlg, const std::string& name);

std::vector<uint8_t> Bytes(const std::string& path);
