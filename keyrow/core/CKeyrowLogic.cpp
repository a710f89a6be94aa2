// The control's behaviour.

#include "keyrow/core/CKeyrowLogic.h"

#include <algorithm>
#include <cstring>

#include "keyrow/core/KeyrowIds.h"

CKeyrowLogic::CKeyrowLogic(IKeyrowButtons& buttons) : m_buttons(buttons)
{
    m_quadState.fill(QuadStateNormal);
}

std::vector<std::string> CKeyrowLogic::NamesFromBlock(const KeyrowNameBlock& block)
{
    const int count = std::clamp<int32_t>(block.count, 0, kKeyrowNameSlots);
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const char* slot = block.names[i];
        const void* end = std::memchr(slot, '\0', kKeyrowNameSlotBytes);
        const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - slot)
                                  : static_cast<size_t>(kKeyrowNameSlotBytes);
        names.emplace_back(slot, length);
    }
    return names;
}

int CKeyrowLogic::LabelFontPoints(const std::string& label)
{
    if (label.size() >= 4)
        return 6;
    return label.size() == 3 ? 7 : 8;
}

KeyrowButtonStyle CKeyrowLogic::StyleOfMode() const
{
    switch (m_selectionMode) {
    case 0:
        return KeyrowButtonStyle::PushLikeCheckBox;
    case 1:
        return KeyrowButtonStyle::CheckBox;
    default:
        return KeyrowButtonStyle::PushButton;
    }
}

void CKeyrowLogic::CreateButtons(const std::vector<std::string>& names, int32_t layoutType,
                                 int32_t subType, int16_t offset, int16_t numChannels)
{
    m_created = true;
    m_buttons.DestroyButtons();

    KeyrowLayoutRequest request;
    request.names = names;
    request.layoutType = layoutType;
    request.subType = subType;
    request.offset = offset;
    request.numChannels = numChannels;
    request.titleText = m_titleText;
    request.titleType = m_titleType;
    m_layout.Build(request);

    m_staticText = m_titleText;
    m_buttons.CreateTitleWindows(m_titleText, (m_titleFlags & 1) != 0);

    for (int i = 0; i < m_layout.ButtonCount(); ++i) {
        KeyrowButtonPlan plan;
        plan.label = m_layout.Label(i);
        plan.style = StyleOfMode();
        plan.rect = m_layout.ButtonRect(i);
        plan.commandId = kFirstButtonId + i;
        plan.fontPoints = LabelFontPoints(plan.label);
        m_buttons.AddButton(plan);
        const int index = m_buttons.ButtonCount() - 1;
        if (index < 0)
            continue;   // the window is gone: nothing to colour
        m_buttons.Colors(index).OffsetColor(30, CButtonColors::kPressedBackground);
        m_buttons.ColorsChanged(index);
    }
    PlaceTitle();
    m_buttons.Repaint();
}

void CKeyrowLogic::PlaceTitle()
{
    const KeyrowSize bounds = GetBoundingSize();
    if (m_titleText.empty()) {
        m_buttons.PlaceTitle(false, KeyrowRect(), false, KeyrowRect());
    } else if (m_titleType == 0) {
        m_buttons.PlaceTitle(true, CKeyrowLayout::TitleRect(0, bounds, KeyrowSize()), false,
                             KeyrowRect());
    } else {
        const KeyrowSize text = m_buttons.TitleTextExtent(m_titleText, (m_titleFlags & 1) != 0);
        m_buttons.PlaceTitle(false, KeyrowRect(), true,
                             CKeyrowLayout::TitleRect(m_titleType, bounds, text));
    }
}

KeyrowSize CKeyrowLogic::GetBoundingSize() const
{
    return m_layout.BoundingSize(m_buttons.ButtonCount(), !m_staticText.empty());
}

void CKeyrowLogic::MoveButtonsToStoredRects()
{
    for (int i = 0; i < m_buttons.ButtonCount(); ++i)
        m_buttons.MoveButton(i, m_layout.ButtonRect(i));
}

void CKeyrowLogic::SetColumns(int32_t columns)
{
    if (columns != m_layout.Columns())
        m_layout.SetColumns(columns);
    MoveButtonsToStoredRects();
    m_modified = true;
}

void CKeyrowLogic::SetSelectionMode(int32_t mode)
{
    if (mode >= 0 && mode <= 3)
        m_selectionMode = mode;
    m_modified = true;
}

void CKeyrowLogic::SetTitleType(int32_t titleType)
{
    if (titleType >= 0 && titleType <= 2)
        m_titleType = titleType;
}

void CKeyrowLogic::SetTitle(const std::string& text, int32_t flags)
{
    m_titleText = text;
    m_titleFlags = flags;
    if (m_created)
        MoveButtonsToStoredRects();
}

std::string CKeyrowLogic::GetTitle() const
{
    return m_created ? m_staticText : m_titleText;
}

uint16_t CKeyrowLogic::GetHWIDFromIndex(uint16_t index) const
{
    uint16_t hwid = 0;
    return m_layout.HwidOfIndex(index, &hwid) ? hwid : 0;
}

int CKeyrowLogic::ButtonOf(int32_t hwid) const
{
    uint16_t index = 0;
    if (!m_layout.IndexOfHwid(hwid, &index) || index >= m_buttons.ButtonCount())
        return -1;
    return index;
}

int32_t CKeyrowLogic::GetChannelState(int32_t hwid) const
{
    const int index = ButtonOf(hwid);
    return index < 0 ? -1 : m_buttons.GetCheck(index);
}

void CKeyrowLogic::EnableControl(bool enable)
{
    if (!m_created)
        return;
    for (int i = 0; i < m_buttons.ButtonCount(); ++i)
        m_buttons.SetEnabled(i, enable);
    m_buttons.EnableTitleButton(enable);
}

void CKeyrowLogic::SelectChannels(const std::vector<uint16_t>& hwids, int32_t state)
{
    for (int i = 0; i < m_buttons.ButtonCount(); ++i)
        if (m_buttons.IsCheckBox(i))
            m_buttons.SetCheck(i, 0);
    for (uint16_t hwid : hwids) {
        const int index = ButtonOf(hwid);
        if (index < 0)
            continue;
        m_buttons.SetCheck(index, 1);
        if (m_selectionMode != 1 || !HasSlot(hwid))
            continue;
        m_channelState[hwid] = state;
        m_exists[hwid] = true;
        if (state == 0) {
            ApplyListedOffColors(m_buttons.Colors(index));
            m_buttons.ColorsChanged(index);
        }
    }
}

void CKeyrowLogic::ShowChannels(const std::vector<uint16_t>& hwids)
{
    for (int i = 0; i < m_buttons.ButtonCount(); ++i)
        m_buttons.SetShown(i, false);
    for (uint16_t hwid : hwids) {
        const int index = ButtonOf(hwid);
        if (index >= 0)
            m_buttons.SetShown(index, true);
    }
}

void CKeyrowLogic::ApplyQuadStates(const std::vector<uint16_t>& hwids,
                                   const std::vector<int32_t>& states)
{
    const size_t count = std::min(hwids.size(), states.size());
    for (size_t k = 0; k < count; ++k) {
        const uint16_t hwid = hwids[k];
        const int index = ButtonOf(hwid);
        if (index < 0 || !HasSlot(hwid))
            continue;
        m_quadState[hwid] = MapQuadState(states[k]);
        m_exists[hwid] = true;
        Recolor(index, hwid);
    }
}

void CKeyrowLogic::Recolor(int index, int hwid)
{
    if (!HasSlot(hwid))
        return;
    ApplyQuadStateColors(m_buttons.Colors(index), m_quadState[static_cast<size_t>(hwid)]);
    m_buttons.ColorsChanged(index);
}

KeyrowEvent CKeyrowLogic::OnChannelClicked(int commandId)
{
    KeyrowEvent event;
    const int index = commandId - kFirstButtonId;
    if (index < 0 || index >= m_buttons.ButtonCount())
        return event;
    uint16_t hwid = 0;
    if (!m_layout.HwidOfIndex(index, &hwid))
        return event;
    const int checked = m_buttons.GetCheck(index);
    event.hwid = hwid;
    switch (m_selectionMode) {
    case 0:
        event.kind = KeyrowEvent::Kind::ButtonClicked;
        event.selected = checked != 0;
        break;
    case 1:
        if (!HasSlot(hwid) || !m_exists[hwid]) {
            m_buttons.SetCheck(index, 0);
            break;
        }
        m_channelState[hwid] = m_channelState[hwid] != 0 ? 0 : 1;
        ApplyOnOffColors(m_buttons.Colors(index), m_channelState[hwid] != 0);
        m_buttons.ColorsChanged(index);
        m_buttons.SetCheck(index, 1);
        event.kind = KeyrowEvent::Kind::ButtonStateChanged;
        event.state = m_channelState[hwid];
        break;
    case 2:
        if (HasSlot(hwid)) {
            m_quadState[hwid] = m_quadSelectionState;
            Recolor(index, hwid);
        }
        event.kind = KeyrowEvent::Kind::ButtonClicked;
        event.selected = checked != 0;
        break;
    case 3:
        // A channel without state has nothing to toggle: no event.
        if (!HasSlot(hwid))
            break;
        m_quadState[hwid] = m_quadState[hwid] == m_quadSelectionState ? m_toggleDefaultQuadState
                                                                      : m_quadSelectionState;
        Recolor(index, hwid);
        event.kind = KeyrowEvent::Kind::ButtonStateChanged;
        event.state = m_quadState[hwid];
        break;
    default:
        break;
    }
    return event;
}

KeyrowEvent CKeyrowLogic::OnAllClicked()
{
    KeyrowEvent event;
    std::vector<int> visible;
    int checked = 0;
    for (int i = 0; i < m_buttons.ButtonCount(); ++i) {
        uint16_t hwid = 0;
        if (!m_buttons.IsShown(i) || !m_layout.HwidOfIndex(i, &hwid))
            continue;
        visible.push_back(i);
        event.hwids.push_back(hwid);
        if (m_buttons.GetCheck(i) != 0)
            ++checked;
    }
    event.selected = checked < static_cast<int>(visible.size());
    for (size_t k = 0; k < visible.size(); ++k) {
        const int index = visible[k];
        const uint16_t hwid = event.hwids[k];
        if (m_selectionMode == 2 || m_selectionMode == 3) {
            if (HasSlot(hwid)) {
                m_quadState[hwid] = m_quadSelectionState;
                Recolor(index, hwid);
            }
        } else if (m_buttons.IsCheckBox(index)) {
            m_buttons.SetCheck(index, event.selected ? 1 : 0);
        }
    }
    event.kind = m_vFlag ? KeyrowEvent::Kind::AllClickedV : KeyrowEvent::Kind::AllClicked;
    return event;
}

bool CKeyrowLogic::ExistsOf(int hwid) const
{
    return HasSlot(hwid) && m_exists[static_cast<size_t>(hwid)];
}

KeyrowQuadStates CKeyrowLogic::QuadStateOf(int hwid) const
{
    return HasSlot(hwid) ? m_quadState[static_cast<size_t>(hwid)] : QuadStateNone;
}
