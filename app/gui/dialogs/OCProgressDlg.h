#pragma once
// The progress window of long operations: a text line, a bar, a percentage and Cancel.

#include <memory>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "app/gui/MessagePump.h"

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QProgressBar;
class QPushButton;

class OCProgressDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCancelId = 100;

    // Creates the window shown, centred on the parent's window and modal to it (to the whole
    // application without a parent), and pumps waiting events once.
    explicit OCProgressDlg(QWidget* parent);
    ~OCProgressDlg() override;

    // The bar's position; values outside 0..100 are clamped.
    void SetPos(int percent);
    int GetPos() const;
    void SetText(const QString& text);
    void SetPercentText(const QString& text);

    // True when Cancel was pressed (or the window asked to close) since the last call; clears it.
    bool TakeCancelled();

    // Ends the window's modality and hides it; the object stays valid and harmless until deleted.
    void DestroyWindow();

    QPushButton* CancelButton() const { return m_cancel; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnCommand(int id);
    void CreateControls();
    void CentreOnParent();

    QProgressBar* m_bar = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_percent = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelled = false;
};

// The callback protocol of long operations, done once: pump, set the bar, set the text, pump, set
// the percentage ("%d%%"), pump, then read and clear the cancel flag; after Cancel the user is
// asked `cancelQuestion` (Yes/No). Returns true when the operation must stop (Yes).
bool ProgressStep(OCProgressDlg& dlg, int percent, const QString& text,
                  const QString& cancelQuestion);

// Owns a progress window for one long operation: the program is busy while it lives, and the
// window and its modality end on every way out of the scope. Survives the parent deleting the
// window first.
class CProgressScope {
public:
    explicit CProgressScope(QWidget* parent);
    ~CProgressScope();
    CProgressScope(const CProgressScope&) = delete;
    CProgressScope& operator=(const CProgressScope&) = delete;

    OCProgressDlg& Dlg();

private:
    CBusyScope m_busy;
    QPointer<OCProgressDlg> m_dlg;
    // Stands in when the parent deleted the real window, so Dlg() never dangles.
    std::unique_ptr<OCProgressDlg> m_orphan;
};
