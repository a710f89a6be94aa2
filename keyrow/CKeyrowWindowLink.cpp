// Forwarding to the panel window while it exists.

#include "keyrow/CKeyrowWindowLink.h"

void CKeyrowWindowLink::DestroyButtons()
{
    if (m_window)
        m_window->DestroyButtons();
}

void CKeyrowWindowLink::CreateTitleWindows(const std::string& text, bool bold)
{
    if (m_window)
        m_window->CreateTitleWindows(text, bold);
}

KeyrowSize CKeyrowWindowLink::TitleTextExtent(const std::string& text, bool bold) const
{
    return m_window ? m_window->TitleTextExtent(text, bold) : KeyrowSize();
}

void CKeyrowWindowLink::PlaceTitle(bool showStatic, const KeyrowRect& staticRect, bool showButton,
                                   const KeyrowRect& buttonRect)
{
    if (m_window)
        m_window->PlaceTitle(showStatic, staticRect, showButton, buttonRect);
}

void CKeyrowWindowLink::EnableTitleButton(bool enable)
{
    if (m_window)
        m_window->EnableTitleButton(enable);
}

void CKeyrowWindowLink::AddButton(const KeyrowButtonPlan& plan)
{
    if (m_window)
        m_window->AddButton(plan);
}

int CKeyrowWindowLink::ButtonCount() const
{
    return m_window ? m_window->ButtonCount() : 0;
}

void CKeyrowWindowLink::MoveButton(int index, const KeyrowRect& rect)
{
    if (m_window)
        m_window->MoveButton(index, rect);
}

bool CKeyrowWindowLink::IsCheckBox(int index) const
{
    return m_window && m_window->IsCheckBox(index);
}

int CKeyrowWindowLink::GetCheck(int index) const
{
    return m_window ? m_window->GetCheck(index) : 0;
}

void CKeyrowWindowLink::SetCheck(int index, int check)
{
    if (m_window)
        m_window->SetCheck(index, check);
}

bool CKeyrowWindowLink::IsShown(int index) const
{
    return m_window && m_window->IsShown(index);
}

void CKeyrowWindowLink::SetShown(int index, bool shown)
{
    if (m_window)
        m_window->SetShown(index, shown);
}

void CKeyrowWindowLink::SetEnabled(int index, bool enabled)
{
    if (m_window)
        m_window->SetEnabled(index, enabled);
}

CButtonColors& CKeyrowWindowLink::Colors(int index)
{
    return m_window ? m_window->Colors(index) : m_unused;
}

void CKeyrowWindowLink::ColorsChanged(int index)
{
    if (m_window)
        m_window->ColorsChanged(index);
}

void CKeyrowWindowLink::Repaint()
{
    if (m_window)
        m_window->Repaint();
}
