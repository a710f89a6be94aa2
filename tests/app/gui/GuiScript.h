#pragma once
// What the windowed program's tests share: a scratch folder that is also the settings folder,
// message boxes and file dialogs answered from a script, and recordings of our own writer.

#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include "app/gui/FileDialogs.h"
#include "app/gui/GuiMessages.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Every message and file dialog of the program while it lives.
class GuiScript
{
public:
    GuiScript() : m_config("XDG_CONFIG_HOME", m_dir.Path().c_str())
    {
        SetMessageHook([this](const QString& text, QMessageBox::StandardButtons buttons) {
            messages.push_back(text);
            if (!answers.empty()) {
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return int(buttons & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::Yes);
        });
        SetFileDialogHook([this](const FileDialogRequest& request) {
            dialogs.push_back(request);
            if (choices.empty())
                return QStringList();
            const QStringList chosen = choices.front();
            choices.pop_front();
            return chosen;
        });
    }
    ~GuiScript()
    {
        SetMessageHook({});
        SetFileDialogHook({});
    }
    GuiScript(const GuiScript&) = delete;
    GuiScript& operator=(const GuiScript&) = delete;

    std::string File(const std::string& name) const { return m_dir.File(name); }
    QString Path(const std::string& name) const { return QString::fromStdString(File(name)); }
    const std::string& Folder() const { return m_dir.Path(); }

    // A recording of our own writer at `name`; returns its path.
    std::string Recording(const std::string& name, const KvdRecordingPlan& plan = KvdRecordingPlan())
    {
        const std::string path = File(name);
        if (!WriteKvdRecording(plan, path))
            ADD_FAILURE() << "cannot write " << path;
        return path;
    }

    std::vector<QString> messages;           // every message shown, in order
    std::deque<int> answers;                 // the buttons pressed, in order (then Ok or Yes)
    std::vector<FileDialogRequest> dialogs;  // every file dialog asked for
    std::deque<QStringList> choices;         // what the dialogs return, in order (then cancel)

private:
    TempDir m_dir;
    ScopedEnv m_config;
};
