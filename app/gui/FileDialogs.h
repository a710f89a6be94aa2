#pragma once
// File and folder dialogs behind one function that tests script through a hook.

#include <functional>
#include <string>

#include <QString>
#include <QStringList>

class QWidget;

// A Windows filter ("Text (*.txt)|*.txt|All (*.*)|*.*||") as a Qt name filter
// ("Text (*.txt);;All (*)"). Patterns separated by ';' become blank-separated; "*.*" becomes "*",
// which also matches names without a dot. A description's own trailing "(...)" is replaced by the
// converted patterns, so it never shows twice. An entry without a pattern is dropped.
QString ConvertFilter(const std::string& windowsFilter);

struct FileDialogRequest {
    enum Kind { Open, OpenMultiple, Save, Folder } kind = Open;
    QString title;
    QString folder;    // where the dialog starts; empty = the dialog's own choice
    QString fileName;  // the proposed name (Save, Open); empty = none
    QString filter;    // a Qt name filter, see ConvertFilter; empty = every file
    QString defaultSuffix;  // Save: added to a name typed without one ("kvd", no dot); empty = none
};

// Runs the dialog modally and returns the chosen absolute paths: one for Open, Save and Folder,
// one or more for OpenMultiple; an empty list when the user cancelled. Save never asks about
// overwriting an existing file: the callers decide that.
QStringList RunFileDialog(QWidget* parent, const FileDialogRequest& request);

// Answers every RunFileDialog instead of a dialog; empty = real dialogs.
using FileDialogHook = std::function<QStringList(const FileDialogRequest&)>;
void SetFileDialogHook(FileDialogHook hook);
