#pragma once
// A read-only line that shows a path compacted to its width; the full path is its tool tip.

#include <QLineEdit>
#include <QString>

class CFilenameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFilenameEdit(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    // The full path, never the compacted text on display.
    QString GetPath() const { return m_path; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ShowCompacted();
    int TextWidth() const;

    QString m_path;
};
