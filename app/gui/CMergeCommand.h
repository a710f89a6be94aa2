#pragma once
// The Tools command "Merge multiple files": joins the opened set into one new recorded-data file
// while the progress window shows how far it got and offers Cancel.

#include <string>

class CSettingsFile;
class CSondrelDoc;
class OCProgressDlg;
class QString;
class QWidget;

class CMergeCommand
{
public:
    CMergeCommand(CSondrelDoc& doc, CSettingsFile& settings);

    // The whole command; `parent` owns the dialogs and the progress window. A successful merge
    // shows nothing and does not open the new file.
    void Run(QWidget* parent);

    // The merge's progress callback on the running merge's progress window: shows the step and
    // percentage; nonzero when the user pressed Cancel and confirmed it.
    static int MergeProgress(const char* text, int percent);

private:
    // The output path from the save dialog (a ".kvd" added to a name without extension, an
    // existing file only after the user agreed to replace it); empty when cancelled.
    std::string AskOutputPath(QWidget* parent);
    // True, after saying so, when the output path names one of the opened files.
    bool RefuseInputAsOutput(const std::string& output);

    CSondrelDoc& m_doc;
    CSettingsFile& m_settings;
};
