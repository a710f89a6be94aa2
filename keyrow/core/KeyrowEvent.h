#pragma once
// What a click on the control fires: decided and collected before any sink runs.

#include <cstdint>
#include <vector>

struct KeyrowEvent
{
    enum class Kind {
        None,
        ButtonClicked,          // (selected, hwid)
        ButtonStateChanged,     // (state, hwid)
        AllClicked,             // (selected, address of the hwid vector)
        AllClickedV             // (selected, VT_ARRAY | VT_UI2 of the hwids)
    };
    Kind kind = Kind::None;
    bool selected = false;
    int32_t state = 0;
    uint16_t hwid = 0;
    std::vector<uint16_t> hwids;
};
