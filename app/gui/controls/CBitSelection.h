#pragma once
// Sixteen toggle buttons, one per bit of a digital word, under the caption "Bit Selection".

#include <array>

#include <QRect>
#include <QWidget>

class QAbstractButton;
class QPushButton;

class CBitSelection : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtonCount = 16;

    explicit CBitSelection(QWidget* parent = nullptr);

    // Places the control at `rect` in `parent` and makes the buttons. The control starts hidden:
    // its owner shows it when a digital stream is current. Returns false when already created.
    bool Create(const QRect& rect, QWidget* parent);
    // The id the control reports through `command`; set it before the user can click.
    void SetCommandId(int id) { m_commandId = id; }

    // Bits outside 0..15 are ignored (GetCheck: false, Button: nullptr). SetCheck sends nothing.
    void SetCheck(int bit, bool checked);
    bool GetCheck(int bit) const;
    QAbstractButton* Button(int bit) const;

signals:
    // A button was clicked by the user (never for SetCheck).
    void command(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutButtons();

    int m_commandId = 0;
    std::array<QPushButton*, kButtonCount> m_buttons{};
};
