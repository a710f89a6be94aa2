#pragma once
// The control's way to its window: forwards to the panel window while it lives and reports no
// buttons once its Qt parent has deleted it, so the COM object outlives its window safely.

#include <QPointer>

#include "keyrow/CKeyrowWidget.h"

class CKeyrowWindowLink : public IKeyrowButtons
{
public:
    void Attach(CKeyrowWidget* window) { m_window = window; }
    CKeyrowWidget* Window() const { return m_window; }

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

private:
    QPointer<CKeyrowWidget> m_window;
    CButtonColors m_unused;
};
