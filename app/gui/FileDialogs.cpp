#include "app/gui/FileDialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

#include "app/gui/GuiText.h"

namespace {

FileDialogHook& Hook()
{
    static FileDialogHook hook;
    return hook;
}

QString ConvertPatterns(const QString& windowsPatterns)
{
    QStringList patterns;
    for (const QString& pattern : windowsPatterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed.isEmpty())
            continue;
        patterns.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return patterns.join(QLatin1Char(' '));
}

// "Data (*.kvd)" -> "Data": the description's own pattern list gives way to the converted one.
QString DescriptionWithoutPatterns(const QString& description)
{
    static const QRegularExpression trailingGroup(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    QString text = description;
    text.remove(trailingGroup);
    return text.trimmed();
}

} // namespace

QString ConvertFilter(const std::string& windowsFilter)
{
    const QStringList parts = FromAnsi(windowsFilter).split(QLatin1Char('|'));
    QStringList filters;
    // Pairs of description and patterns; the closing "||" leaves empty parts that end the list.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = ConvertPatterns(parts[i + 1]);
        if (parts[i].isEmpty() && patterns.isEmpty())
            break;
        if (patterns.isEmpty())
            continue;
        QString description = DescriptionWithoutPatterns(parts[i]);
        if (description.isEmpty())
            description = patterns;
        filters.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QStringList RunFileDialog(QWidget* parent, const FileDialogRequest& request)
{
    if (Hook())
        return Hook()(request);

    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    switch (request.kind) {
    case FileDialogRequest::Open:
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        break;
    case FileDialogRequest::OpenMultiple:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        break;
    case FileDialogRequest::Save:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setDefaultSuffix(request.defaultSuffix);
        break;
    case FileDialogRequest::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        break;
    }
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

void SetFileDialogHook(FileDialogHook hook)
{
    Hook() = std::move(hook);
}
