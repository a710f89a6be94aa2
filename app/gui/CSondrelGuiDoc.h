#pragma once
// The windowed program's document: the shared document with its File and Tools commands, their
// file dialogs and update rules, the recent-file list and the views it tells about changes.

#include <functional>
#include <string>
#include <vector>

#include "app/CSondrelDoc.h"

class CSettingsFile;
class QWidget;

class CSondrelGuiDoc : public CSondrelDoc
{
public:
    using RecentFileSink = std::function<void(const std::string& path)>;
    using ChangeObserver = std::function<void()>;

    // Reports through message boxes; the folders of the dialogs are kept in `settings`; every
    // open that names a file or a batch list hands its path to `recent`.
    CSondrelGuiDoc(CSettingsFile& settings, RecentFileSink recent);

    // Called after every open, successful or not (the views and the frame).
    void AddObserver(ChangeObserver observer) { m_observers.push_back(std::move(observer)); }

    // The commands, by command id; `parent` owns the dialogs. False for an id the document has
    // no command for.
    bool OnCommand(int id, QWidget* parent);
    // The update rule of a command of the document: whether it is enabled now.
    bool IsCommandEnabled(int id) const;

    void OnFileOpenKvd(QWidget* parent);
    void OnFileOpenBatch(QWidget* parent);
    void OnFileOpenMultiple(QWidget* parent);
    void OnToolsConvertToAscii(QWidget* parent);
    void OnToolsConvertToAbf(QWidget* parent);
    void OnToolsConvertToBin(QWidget* parent);
    void OnToolsMerge(QWidget* parent);

protected:
    void AddToRecentFileList(const std::string& path) override;
    void UpdateAllViews() override;

private:
    // Asks for one file to open with the filter; opens it and keeps its folder. Cancel does nothing.
    void OpenOneFile(QWidget* parent, const char* windowsFilter);
    std::string ReadDirectory() const;

    CSettingsFile& m_settings;
    RecentFileSink m_recent;
    std::vector<ChangeObserver> m_observers;
};
