// The control's type library table.

#include "keyrow/core/KeyrowTypeLibrary.h"

#include "keyrow/core/KeyrowIds.h"

namespace {

constexpr VARTYPE kLongPtr = VT_BYREF | VT_I4;
constexpr VARTYPE kShortPtr = VT_BYREF | VT_I2;
constexpr VARTYPE kVariantPtr = VT_BYREF | VT_VARIANT;
constexpr uint16_t kMethod = DISPATCH_METHOD;
constexpr uint16_t kProperty = DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT;

InterfaceInfo DispatchInterface()
{
    return InterfaceInfo{
        kDKeyrowIid,
        "_DKeyrow",
        "Dispatch interface for Keyrow Control",
        {
            {kDispAboutBox, "AboutBox", kMethod, {}, VT_EMPTY},
            {kDispColumns, "Columns", kProperty, {{"Columns", VT_I4}}, VT_I4},
            {kDispGetBoundingSize, "GetBoundingSize", kMethod,
             {{"px", kLongPtr}, {"py", kLongPtr}}, VT_EMPTY},
            {kDispInitializeButtons, "InitializeButtons", kMethod,
             {{"names", kLongPtr}, {"layoutType", VT_I4}, {"subType", VT_I4}, {"offset", VT_I2},
              {"numChannels", VT_I2}},
             VT_EMPTY},
            {kDispSetSelectedChannels, "SetSelectedChannels", kMethod,
             {{"arrHWID", kLongPtr}, {"State", VT_I4}}, VT_EMPTY},
            {kDispSetExistingChannels, "SetExistingChannels", kMethod, {{"arrHWID", kLongPtr}},
             VT_EMPTY},
            {kDispEnableControl, "EnableControl", kMethod, {{"bEnable", VT_BOOL}}, VT_EMPTY},
            {kDispGetVersion, "GetVersion", kMethod, {{"pMajor", kShortPtr}, {"pMinor", kShortPtr}},
             VT_EMPTY},
            {kDispSetTitle, "SetTitle", kMethod, {{"strTitle", VT_BSTR}, {"titleFlags", VT_I4}},
             VT_EMPTY},
            {kDispGetTitle, "GetTitle", kMethod, {}, VT_BSTR},
            {kDispGetHWIDFromIndex, "GetHWIDFromIndex", kMethod, {{"Index", VT_UI2}}, VT_UI2},
            {kDispSelectionMode, "SelectionMode", kProperty, {{"SelectionMode", VT_I4}}, VT_I4},
            {kDispSetTitleType, "SetTitleType", kMethod, {{"titleType", VT_I4}}, VT_EMPTY},
            {kDispSetQuadSelectionState, "SetQuadSelectionState", kMethod,
             {{"QuadState", VT_I4}}, VT_EMPTY},
            {kDispSetQuadStates, "SetQuadStates", kMethod,
             {{"arrHWID", kLongPtr}, {"arrQuadStates", kLongPtr}}, VT_EMPTY},
            {kDispSetExistingChannelsV, "SetExistingChannelsV", kMethod,
             {{"arrHWID", kVariantPtr}}, VT_EMPTY},
            {kDispSetQuadStatesV, "SetQuadStatesV", kMethod,
             {{"arrHWID", kVariantPtr}, {"arrQuadStates", kVariantPtr}}, VT_EMPTY},
            {kDispSetSelectedChannelsV, "SetSelectedChannelsV", kMethod,
             {{"arrHWID", kVariantPtr}, {"State", VT_I4}}, VT_EMPTY},
            {kDispInitializeButtonsV, "InitializeButtonsV", kMethod,
             {{"names", kVariantPtr}, {"layoutType", VT_I4}, {"subType", VT_I4},
              {"offset", VT_I2}, {"numChannels", VT_I2}},
             VT_EMPTY},
            {kDispGetChannelState, "GetChannelState", kMethod, {{"hwid", VT_I4}}, VT_I4},
            {kDispSetToggleDefaultQuadState, "SetToggleDefaultQuadState", kMethod,
             {{"DefaultQuadState", VT_I4}}, VT_EMPTY},
        }};
}

InterfaceInfo EventInterface()
{
    return InterfaceInfo{
        kDKeyrowEventsIid,
        "_DKeyrowEvents",
        "Event interface for Keyrow Control",
        {
            {kEvtButtonClicked, "ButtonClicked", kMethod,
             {{"selected", VT_BOOL}, {"hwid", VT_I2}}, VT_EMPTY},
            {kEvtFireButtonStateChanged, "FireButtonStateChanged", kMethod,
             {{"NewState", VT_I4}, {"hwid", VT_I2}}, VT_EMPTY},
            {kEvtFireAllClicked, "FireAllClicked", kMethod,
             {{"selected", VT_BOOL}, {"arrHWID", kLongPtr}}, VT_EMPTY},
            {kEvtFireAllClickedV, "FireAllClickedV", kMethod,
             {{"selected", VT_BOOL}, {"arrHWID", kVariantPtr}}, VT_EMPTY},
        }};
}

} // namespace

const TypeLibraryInfo& KeyrowTypeLibrary()
{
    static const TypeLibraryInfo library{kKeyrowLibid,
                                         "KeyrowOcxLib",
                                         kKeyrowLibMajor,
                                         kKeyrowLibMinor,
                                         "Keyrow ActiveX Control module",
                                         "KeyrowOcx.hlp",
                                         {DispatchInterface(), EventInterface()}};
    return library;
}
