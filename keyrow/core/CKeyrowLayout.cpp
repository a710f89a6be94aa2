// Channel maps and geometry of the control.

#include "keyrow/core/CKeyrowLayout.h"

#include <algorithm>

#include "keyrow/core/KeyrowDescriptor.h"

const uint16_t kKeyrowGrid64[8][8] = {
    {60, 23, 25, 28, 31, 34, 36, 61},
    {20, 21, 24, 29, 30, 35, 38, 39},
    {18, 19, 22, 27, 32, 37, 40, 41},
    {15, 16, 17, 26, 33, 42, 43, 44},
    {14, 13, 12, 3, 56, 47, 46, 45},
    {11, 10, 7, 2, 57, 52, 49, 48},
    {9, 8, 5, 0, 59, 54, 51, 50},
    {62, 6, 4, 1, 58, 55, 53, 63},
};

bool operator==(const KeyrowRect& a, const KeyrowRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace {

constexpr uint16_t kDoubleAnalogIds[] = {60, 61, 62, 63, 124, 125, 126};

bool IsFreeLayout(int32_t layoutType)
{
    return layoutType == 3;
}

} // namespace

void CKeyrowLayout::Build(const KeyrowLayoutRequest& request)
{
    const int channels = std::max<int>(0, request.numChannels);
    m_columns = channels <= 128 ? 8 : 16;
    m_rows = channels == 0 ? 1 : (channels - 1) / m_columns + 1;
    const bool hasTitle = !request.titleText.empty();
    m_topOffset = (request.layoutType == 2 && request.subType == 0 && request.titleType == 1
                   && hasTitle) ? 5 : 0;
    m_leftOffset = 0;
    m_titleHeight = (!hasTitle || request.titleType == 2) ? 0 : kTitleHeight;

    std::vector<KeyrowDescriptor> descriptors;
    std::vector<int32_t> descriptorHwids;
    int buttons = channels;
    if (IsFreeLayout(request.layoutType)) {
        for (const std::string& text : request.names) {
            descriptors.push_back(ParseDescriptor(text));
            descriptorHwids.push_back(descriptors.back().hwid);
        }
        buttons = std::min<int>(channels, static_cast<int>(descriptors.size()));
    }
    BuildMaps(request, descriptorHwids);

    if (IsFreeLayout(request.layoutType))
        LayoutFree(request, buttons);
    else
        LayoutGrid();

    m_labels.assign(static_cast<size_t>(buttons), std::string());
    for (int i = 0; i < buttons; ++i) {
        uint16_t hwid = 0;
        if (!HwidOfIndex(i, &hwid))
            continue;
        if (IsFreeLayout(request.layoutType)) {
            for (const KeyrowDescriptor& d : descriptors) {
                if (d.hwid == hwid) {
                    m_labels[static_cast<size_t>(i)] = d.name;
                    break;
                }
            }
        } else if (hwid < request.names.size()) {
            m_labels[static_cast<size_t>(i)] = request.names[hwid];
        }
    }
}

void CKeyrowLayout::MapEntry(int32_t index, int32_t hwid)
{
    if (index < 0 || index > 0xFFFF || hwid < 0 || hwid > 0xFFFF)
        return;
    m_indexToHwid[static_cast<uint16_t>(index)] = static_cast<uint16_t>(hwid);
    m_hwidToIndex[static_cast<uint16_t>(hwid)] = static_cast<uint16_t>(index);
}

void CKeyrowLayout::BuildMaps(const KeyrowLayoutRequest& request,
                              const std::vector<int32_t>& descriptorHwids)
{
    m_indexToHwid.clear();
    m_hwidToIndex.clear();
    const int channels = std::max<int>(0, request.numChannels);
    const int32_t offset = request.offset;
    const int32_t sub = request.subType;
    switch (request.layoutType) {
    case 0:
        if (sub >= 0 && sub <= 2)
            for (int i = 0; i < channels; ++i)
                MapEntry(i, sub == 0 ? i : i + offset);
        break;
    case 1:
    case 2: {
        const int32_t cellOffset = request.layoutType == 2 ? offset : 0;
        if (sub == 0) {
            for (int r = 0; r < 8; ++r)
                for (int c = 0; c < 8; ++c)
                    MapEntry(r * 8 + c, kKeyrowGrid64[r][c] + cellOffset);
        } else if (sub == 1) {
            const int count = request.layoutType == 1 ? 3 : 7;
            for (int i = 0; i < count; ++i)
                MapEntry(i, kDoubleAnalogIds[i]);
        } else if (sub == 2) {
            MapEntry(0, request.layoutType == 1 ? 63 : 127);
        }
        break;
    }
    case 3: {
        const int count = std::min<int>(channels, static_cast<int>(descriptorHwids.size()));
        for (int i = 0; i < count; ++i) {
            const int32_t hwid = descriptorHwids[static_cast<size_t>(i)];
            // Bit 15 marks a record without a channel (a hwid of -1 among them).
            if (hwid >= 0 && hwid <= 0xFFFF && (hwid & 0x8000) == 0)
                MapEntry(i, hwid);
        }
        break;
    }
    default:
        break;
    }
}

void CKeyrowLayout::LayoutGrid()
{
    m_rects.clear();
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            KeyrowRect rect;
            rect.left = m_leftOffset + c * (kButtonWidth + kButtonGap);
            rect.top = m_topOffset + m_titleHeight + r * (kButtonHeight + kButtonGap);
            rect.right = rect.left + kButtonWidth;
            rect.bottom = rect.top + kButtonHeight;
            m_rects.push_back(rect);
        }
    }
}

void CKeyrowLayout::LayoutFree(const KeyrowLayoutRequest& request, int buttons)
{
    m_rows = 0;
    m_columns = 0;
    m_rects.clear();
    for (const std::string& text : request.names) {
        const KeyrowDescriptor d = ParseDescriptor(text);
        KeyrowRect rect;
        rect.left = m_leftOffset + (kButtonGap + kButtonWidth) * d.dx / 100;
        rect.right = rect.left + kButtonWidth * d.dxextend / 100;
        rect.top = m_topOffset + (kButtonGap + kButtonHeight) * d.dy / 100 + m_titleHeight;
        rect.bottom = rect.top + kButtonHeight * d.dyextend / 100;
        if (static_cast<int>(m_rects.size()) < buttons)
            m_rects.push_back(rect);
        if (d.show != 0 && d.subtype == request.subType) {
            m_rows = std::max(m_rows, (d.dyextend + d.dy + 99) / 100);
            m_columns = std::max(m_columns, (d.dxextend + d.dx + 99) / 100);
        }
    }
}

KeyrowRect CKeyrowLayout::ButtonRect(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_rects.size())
        return KeyrowRect();
    return m_rects[static_cast<size_t>(index)];
}

std::string CKeyrowLayout::Label(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_labels.size())
        return std::string();
    return m_labels[static_cast<size_t>(index)];
}

bool CKeyrowLayout::HwidOfIndex(int index, uint16_t* hwid) const
{
    if (index < 0 || index > 0xFFFF)
        return false;
    const auto found = m_indexToHwid.find(static_cast<uint16_t>(index));
    if (found == m_indexToHwid.end())
        return false;
    *hwid = found->second;
    return true;
}

bool CKeyrowLayout::IndexOfHwid(int32_t hwid, uint16_t* index) const
{
    if (hwid < 0 || hwid > 0xFFFF)
        return false;
    const auto found = m_hwidToIndex.find(static_cast<uint16_t>(hwid));
    if (found == m_hwidToIndex.end())
        return false;
    *index = found->second;
    return true;
}

KeyrowSize CKeyrowLayout::BoundingSize(int buttons, bool staticHasText) const
{
    KeyrowSize size;
    if (buttons <= 0)
        return size;
    const int64_t across = std::max<int64_t>(0, std::min<int64_t>(m_columns, buttons));
    size.cx = static_cast<int32_t>(across * (kButtonWidth + kButtonGap));
    int64_t height = static_cast<int64_t>(kButtonHeight + kButtonGap) * std::max(0, m_rows);
    if (staticHasText)
        height += kTitleHeight + kTitleMargin;
    size.cy = static_cast<int32_t>(height);
    return size;
}

KeyrowRect CKeyrowLayout::TitleRect(int32_t titleType, const KeyrowSize& bounds,
                                    const KeyrowSize& text)
{
    KeyrowRect rect;
    if (titleType == 1 || titleType == 2) {
        rect.left = bounds.cx / 2 - text.cx / 2 - 3;
        rect.right = text.cx / 2 + bounds.cx / 2 + 3;
        rect.top = titleType == 1 ? 0 : bounds.cy - text.cy;
        rect.bottom = titleType == 1 ? text.cy : bounds.cy;
    } else {
        rect.right = bounds.cx;
        rect.bottom = kTitleHeight;
    }
    return rect;
}
