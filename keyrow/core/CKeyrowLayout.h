#pragma once
// Where the control's buttons go and which hardware id each stands for: the channel maps of the
// grid and free layouts, the button rectangles, labels, title geometry and the bounding size.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct KeyrowRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};
bool operator==(const KeyrowRect& a, const KeyrowRect& b);

struct KeyrowSize
{
    int32_t cx = 0;
    int32_t cy = 0;
};

// What CreateButtons is given.
struct KeyrowLayoutRequest
{
    std::vector<std::string> names;   // labels by hwid, or descriptor strings for layout type 3
    int32_t layoutType = 0;           // 0 plain, 1 one array, 2 double array, 3 free
    int32_t subType = 0;              // 0 electrodes, 1 analog, 2 digital
    int16_t offset = 0;
    int16_t numChannels = 0;
    std::string titleText;
    int32_t titleType = 0;            // 0 static on top, 1 button on top, 2 button at the bottom
};

// The grid of a 64-electrode array, row by row from the top: the channel position in each cell.
extern const uint16_t kKeyrowGrid64[8][8];

class CKeyrowLayout
{
public:
    static constexpr int32_t kButtonWidth = 20;
    static constexpr int32_t kButtonHeight = 16;
    static constexpr int32_t kButtonGap = 2;
    static constexpr int32_t kTitleMargin = 4;
    static constexpr int32_t kTitleHeight = 18;
    static constexpr int32_t kStaticTitleWidth = 150;

    // Replaces the maps, rectangles and labels. A negative channel count counts as 0; a free
    // layout creates no more buttons than it has descriptor strings; ids that are negative, above
    // 0xFFFF or (free layout) have bit 15 set are left out of the maps.
    void Build(const KeyrowLayoutRequest& request);

    int32_t Columns() const { return m_columns; }
    void SetColumns(int32_t columns) { m_columns = columns; }
    int32_t Rows() const { return m_rows; }
    // The number of buttons the last Build asked for.
    int ButtonCount() const { return static_cast<int>(m_labels.size()); }
    // The stored rectangle of a button; an empty rectangle beyond the buttons.
    KeyrowRect ButtonRect(int index) const;
    // The label of a button: found through its hwid; empty without one or beyond the names.
    std::string Label(int index) const;

    // False (out untouched) when the index or hwid is not in the map.
    bool HwidOfIndex(int index, uint16_t* hwid) const;
    bool IndexOfHwid(int32_t hwid, uint16_t* index) const;

    // The size that shows `buttons` buttons and the title: 0, 0 without buttons; the title's 18
    // pixels and its margin of 4 are added when the title static holds text.
    KeyrowSize BoundingSize(int buttons, bool staticHasText) const;

    // The title button's rectangle for type 1 (top) or 2 (bottom), centred in the bounding size,
    // for a text extent tx x ty; type 0 gives the static's rectangle (0, 0, cx, 18).
    static KeyrowRect TitleRect(int32_t titleType, const KeyrowSize& bounds, const KeyrowSize& text);

private:
    void BuildMaps(const KeyrowLayoutRequest& request, const std::vector<int32_t>& descriptorHwids);
    void MapEntry(int32_t index, int32_t hwid);
    void LayoutGrid();
    void LayoutFree(const KeyrowLayoutRequest& request, int buttons);

    int32_t m_columns = 8;
    int32_t m_rows = 0;
    int32_t m_topOffset = 0;
    int32_t m_leftOffset = 0;
    int32_t m_titleHeight = 0;
    std::vector<KeyrowRect> m_rects;
    std::vector<std::string> m_labels;
    std::map<uint16_t, uint16_t> m_indexToHwid;
    std::map<uint16_t, uint16_t> m_hwidToIndex;
};
