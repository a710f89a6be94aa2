#pragma once
// An up-down control beside a buddy edit: its arrows and the arrow keys in the buddy step the
// buddy's number within a range, written without thousands separators.

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QToolButton;

class CUpDown : public QWidget
{
    Q_OBJECT
public:
    CUpDown(QLineEdit* buddy, QWidget* parent);

    void SetRange(int lower, int upper);
    int Upper() const { return m_upper; }
    // Sets the position and writes it into the buddy.
    void SetPos(int pos);
    // The buddy's number, or the lower bound when it holds none.
    int GetPos() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Step(int delta);

    QPointer<QLineEdit> m_buddy;
    QObject* m_buddyObject = nullptr;   // compared only: events may arrive while it is destroyed
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    int m_lower = 0;
    int m_upper = 100;
};
