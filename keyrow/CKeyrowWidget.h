#pragma once
// The control's window: the channel buttons and the two title windows (a centred static and the
// "all" button), placed and coloured as the control's logic asks through IKeyrowButtons.

#include <vector>

#include <QFont>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include "keyrow/CButtonST.h"
#include "keyrow/core/IKeyrowButtons.h"

class CKeyrowWidget : public QWidget, public IKeyrowButtons
{
    Q_OBJECT

public:
    static constexpr int kTitleStaticId = 0xFFFF;

    explicit CKeyrowWidget(QWidget* parent = nullptr);

    // IKeyrowButtons
    void DestroyButtons() override;
    void CreateTitleWindows(const std::string& text, bool bold) override;
    KeyrowSize TitleTextExtent(const std::string& text, bool bold) const override;
    void PlaceTitle(bool showStatic, const KeyrowRect& staticRect, bool showButton,
                    const KeyrowRect& buttonRect) override;
    void EnableTitleButton(bool enable) override;
    void AddButton(const KeyrowButtonPlan& plan) override;
    int ButtonCount() const override;
    void MoveButton(int index, const KeyrowRect& rect) override;
    bool IsCheckBox(int index) const override;
    int GetCheck(int index) const override;
    void SetCheck(int index, int check) override;
    bool IsShown(int index) const override;
    void SetShown(int index, bool shown) override;
    void SetEnabled(int index, bool enabled) override;
    CButtonColors& Colors(int index) override;
    void ColorsChanged(int index) override;
    void Repaint() override;

    // For tests and screenshots.
    CButtonST* Button(int index) const;
    CButtonST* TitleButton() const { return m_titleButton; }
    QLabel* TitleStatic() const { return m_titleStatic; }
    // True while a click is being handed to the control: windows destroyed then are deleted
    // later, once the button's own click handling has returned.
    bool IsDispatching() const { return m_dispatching > 0; }

signals:
    // A channel button's command id (1000 + index), after its own toggle.
    void channelCommand(int commandId);
    // The title ("all") button.
    void allCommand();

private:
    void OnButtonCommand(int commandId);
    static QString ToDisplay(const std::string& ansi);
    QFont LabelFont(int points) const;
    QFont TitleFont(bool bold) const;

    std::vector<QPointer<CButtonST>> m_buttons;
    QPointer<CButtonST> m_titleButton;
    QPointer<QLabel> m_titleStatic;
    bool m_titleBold = false;
    int m_dispatching = 0;
};
