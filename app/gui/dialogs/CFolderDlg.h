#pragma once
// The folder chooser: a modal folder dialog that starts at the program's current folder.

#include <QString>

class QWidget;

class CFolderDlg {
public:
    static constexpr int kChosen = 1;   // IDOK
    static constexpr int kNone = 2;     // IDCANCEL

    // When the program's current folder is still empty, it becomes the process's working folder.
    explicit CFolderDlg(QWidget* owner);

    void SetTitle(const QString& title) { m_title = title; }
    // Runs the dialog: kChosen with a folder, kNone when the user cancelled or chose nothing
    // usable as a folder path.
    int DoModal();
    QString GetPath() const { return m_path; }

private:
    QWidget* m_owner = nullptr;
    QString m_title;
    QString m_path;
};
