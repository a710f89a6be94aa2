#include "app/gui/dialogs/CFolderDlg.h"

#include <QDir>

#include "app/gui/CurrentFolder.h"
#include "app/gui/FileDialogs.h"

CFolderDlg::CFolderDlg(QWidget* owner)
    : m_owner(owner)
{
    if (CurrentFolder().isEmpty())
        CurrentFolder() = QDir::currentPath();
}

int CFolderDlg::DoModal()
{
    m_path.clear();
    FileDialogRequest request;
    request.kind = FileDialogRequest::Folder;
    request.title = m_title;
    request.folder = CurrentFolder();
    const QStringList chosen = RunFileDialog(m_owner, request);
    if (!chosen.isEmpty())
        m_path = chosen.front();
    return m_path.isEmpty() ? kNone : kChosen;
}
