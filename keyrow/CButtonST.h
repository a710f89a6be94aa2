#pragma once
// The owner-drawn push or check button of the control: six colour slots, flat or 3-D drawing,
// and a check state of its own (not Qt's checkable state), kept only for the check-box styles
// and toggled on a click before the command reaches the parent.

#include <cstdint>

#include <QAbstractButton>
#include <QColor>

#include "keyrow/core/CButtonColors.h"

class CButtonST : public QAbstractButton
{
    Q_OBJECT

public:
    // Window-style bits that Create reads.
    static constexpr uint32_t kStyleDefaultPush = 0x0001;
    static constexpr uint32_t kStyleCheckBox = 0x0002;   // bit 1: check box and auto check box
    static constexpr uint32_t kStyleDisabled = 0x08000000;
    static constexpr uint32_t kStyleVisible = 0x10000000;

    explicit CButtonST(QWidget* parent = nullptr);

    // Places the button on `parent` with its label, rectangle and command id; the style's low
    // four bits decide check box or push button (a default push button counts as a push button).
    void Create(const QString& label, uint32_t style, const QRect& rect, QWidget* parent,
                int commandId);

    bool IsCheckBox() const { return m_isCheckBox; }
    bool IsDefault() const { return m_isDefault; }
    // Check-box style only: 1 for checked or indeterminate (any nonzero), else 0; push buttons
    // ignore it and always report 0.
    void SetCheck(int check);
    int GetCheck() const { return m_check; }

    void SetFlat(bool flat);
    bool IsFlat() const { return m_flat; }
    // False for a slot outside 0..5.
    bool SetColor(int slot, const KeyrowColor& colour);
    bool SetColor(int slot, const QColor& colour);
    QColor GetColor(int slot) const;
    // CButtonColors::OffsetColor, then a repaint when it changed something.
    int OffsetColor(int shade, int slot);
    CButtonColors& Colors() { return m_colors; }
    void ColorsChanged() { update(); }

signals:
    // After the button's own toggle: the parent's command handler.
    void command(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnClicked();
    KeyrowSystemColors SystemColors() const;
    void DrawEdges(QPainter& painter, const QRect& rect, bool pressed) const;

    CButtonColors m_colors;
    int m_commandId = 0;
    int m_check = 0;
    bool m_isCheckBox = false;
    bool m_isDefault = false;
    bool m_flat = true;
    bool m_drawBorder = true;
    bool m_drawFlatFocus = false;
    bool m_hovered = false;
};
