#pragma once
// The control's state and behaviour without a window system: the layout and channel maps, the
// per-hwid states, the selection modes, and what a click does and fires. The COM face forwards
// its dispatch calls here; the buttons are reached through IKeyrowButtons.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "keyrow/core/CKeyrowLayout.h"
#include "keyrow/core/IKeyrowButtons.h"
#include "keyrow/core/KeyrowEvent.h"
#include "keyrow/core/KeyrowQuadStates.h"

struct KeyrowNameBlock;

class CKeyrowLogic
{
public:
    // Hardware ids 0..260 have per-channel state; other ids have a button at most.
    static constexpr int kHwidSlots = 261;
    static constexpr int kFirstButtonId = 1000;
    static constexpr int kTitleButtonId = 1;

    explicit CKeyrowLogic(IKeyrowButtons& buttons);

    // The names of a name block: its count (clamped to 0..256) slots, each read up to its NUL
    // or its 32 bytes.
    static std::vector<std::string> NamesFromBlock(const KeyrowNameBlock& block);
    // The label font for a label: 6 pt from 4 characters, 7 pt for 3, else 8 pt.
    static int LabelFontPoints(const std::string& label);

    void CreateButtons(const std::vector<std::string>& names, int32_t layoutType, int32_t subType,
                       int16_t offset, int16_t numChannels);
    KeyrowSize GetBoundingSize() const;

    int32_t GetColumns() const { return m_layout.Columns(); }
    // Stores a changed value, moves the buttons to their stored rectangles (no new layout) and
    // marks the control modified. Only the bounding width follows the value.
    void SetColumns(int32_t columns);
    int32_t GetSelectionMode() const { return m_selectionMode; }
    // 0..3 only; other values leave the mode. Marks the control modified either way.
    void SetSelectionMode(int32_t mode);
    // 0, 1 or 2; other values are ignored. Takes effect at the next CreateButtons.
    void SetTitleType(int32_t titleType);
    void SetTitle(const std::string& text, int32_t flags);
    // The title static's text once buttons were created, else the stored title.
    std::string GetTitle() const;
    // 0 for an index without a hwid; the map is never changed by the query.
    uint16_t GetHWIDFromIndex(uint16_t index) const;
    // The check state of the hwid's button, -1 when the hwid has no button.
    int32_t GetChannelState(int32_t hwid) const;
    // Once buttons exist: every channel button, then the title button.
    void EnableControl(bool enable);

    void SelectChannels(const std::vector<uint16_t>& hwids, int32_t state);
    void ShowChannels(const std::vector<uint16_t>& hwids);
    // Pairs ids with states position by position; the shorter list decides the length.
    void ApplyQuadStates(const std::vector<uint16_t>& hwids, const std::vector<int32_t>& states);
    void SetQuadSelectionState(int32_t state) { m_quadSelectionState = MapQuadState(state); }
    void SetToggleDefaultQuadState(int32_t state) { m_toggleDefaultQuadState = MapQuadState(state); }

    // Set by every "V" method; decides which all-button event fires. Never cleared.
    void SetVFlag() { m_vFlag = true; }
    bool IsModified() const { return m_modified; }
    bool IsCreated() const { return m_created; }

    // A click on a channel button (command id 1000 + index), after the button's own toggle.
    // Ids beyond the buttons and buttons without a hwid do nothing.
    KeyrowEvent OnChannelClicked(int commandId);
    // A click on the title ("all") button.
    KeyrowEvent OnAllClicked();

    // Read access for tests.
    bool ExistsOf(int hwid) const;
    KeyrowQuadStates QuadStateOf(int hwid) const;
    KeyrowQuadStates QuadSelectionState() const { return m_quadSelectionState; }
    KeyrowQuadStates ToggleDefaultQuadState() const { return m_toggleDefaultQuadState; }

private:
    static bool HasSlot(int hwid) { return hwid >= 0 && hwid < kHwidSlots; }
    // The button of a hwid, or -1 when it has none.
    int ButtonOf(int32_t hwid) const;
    void PlaceTitle();
    void MoveButtonsToStoredRects();
    void Recolor(int index, int hwid);
    KeyrowButtonStyle StyleOfMode() const;

    IKeyrowButtons& m_buttons;
    CKeyrowLayout m_layout;
    bool m_created = false;
    bool m_modified = false;
    bool m_vFlag = false;
    int32_t m_selectionMode = 1;
    int32_t m_titleType = 0;
    int32_t m_titleFlags = 0;
    std::string m_titleText;
    std::string m_staticText;
    KeyrowQuadStates m_quadSelectionState = QuadStateNone;
    KeyrowQuadStates m_toggleDefaultQuadState = QuadStateNormal;
    std::array<int32_t, kHwidSlots> m_channelState{};
    std::array<bool, kHwidSlots> m_exists{};
    std::array<KeyrowQuadStates, kHwidSlots> m_quadState{};
};
