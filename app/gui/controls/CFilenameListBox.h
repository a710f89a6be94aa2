#pragma once
// A list of file paths: each drawn compacted to the list's width, its tool tip the full path.

#include <QListWidget>
#include <QStringList>

class CFilenameListBox : public QListWidget {
    Q_OBJECT
public:
    explicit CFilenameListBox(QWidget* parent = nullptr);

    // Replaces the list by `paths`, in their order.
    void SetPaths(const QStringList& paths);
    void AddPath(const QString& path);
    // The full path of a row; empty for a row that does not exist.
    QString Path(int row) const;
    QStringList Paths() const;
};
