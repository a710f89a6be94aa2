#pragma once
// The button-panel control's COM identity: class ids, type library, interfaces, dispatch ids and
// event ids. Header only and free of Qt, so a container can include it without linking the control.

#include <cstdint>

#include "platform/Guid.h"

// Class of the control (coclass "Keyrow") and of its property page.
constexpr GUID kKeyrowClsid = {0x74E7051F, 0x43D3, 0x49EE,
                               {0xB6, 0x4A, 0x27, 0x34, 0x80, 0x55, 0x97, 0x07}};
constexpr GUID kKeyrowPropPageClsid = {0x2288A356, 0xFDE8, 0x477D,
                                       {0xBA, 0x37, 0xAC, 0x70, 0xC2, 0xF7, 0xEF, 0x6E}};
// Type library "KeyrowOcxLib", version 1.1.
constexpr GUID kKeyrowLibid = {0xD00BADE4, 0xDB5B, 0x4F6E,
                               {0xB9, 0x29, 0x13, 0x5D, 0xFD, 0x9E, 0x81, 0x02}};
constexpr uint16_t kKeyrowLibMajor = 1;
constexpr uint16_t kKeyrowLibMinor = 1;
// Dispatch interface "_DKeyrow" and event interface "_DKeyrowEvents".
constexpr GUID kDKeyrowIid = {0xBCF4CA4B, 0x08F8, 0x45A5,
                              {0xBB, 0x28, 0x38, 0xA4, 0x18, 0x63, 0x3D, 0xA5}};
constexpr GUID kDKeyrowEventsIid = {0x4DBB507C, 0x15B3, 0x4408,
                                    {0xBA, 0xA7, 0x10, 0x5F, 0xA5, 0x97, 0x57, 0x0A}};

constexpr const char* kKeyrowProgId = "KEYROW.KeyrowCtrl.1";
constexpr const char* kKeyrowPropPageProgId = "KEYROW.KeyrowPropPage.1";
constexpr const char* kKeyrowLibraryFile = "KeyrowOcx.ocx";

// Dispatch ids of "_DKeyrow" (int32_t, the same type as com/'s DISPID).
constexpr int32_t kDispAboutBox = -552;
constexpr int32_t kDispColumns = 1;                      // property, long
constexpr int32_t kDispGetBoundingSize = 2;              // (long* px, long* py)
constexpr int32_t kDispInitializeButtons = 3;            // (long* names, long, long, short, short)
constexpr int32_t kDispSetSelectedChannels = 4;          // (long* arrHWID, long State)
constexpr int32_t kDispSetExistingChannels = 5;          // (long* arrHWID)
constexpr int32_t kDispEnableControl = 6;                // (BOOL bEnable)
constexpr int32_t kDispGetVersion = 7;                   // (short* pMajor, short* pMinor)
constexpr int32_t kDispSetTitle = 8;                     // (BSTR strTitle, long titleFlags)
constexpr int32_t kDispGetTitle = 9;                     // () -> BSTR
constexpr int32_t kDispGetHWIDFromIndex = 10;            // (unsigned short Index) -> unsigned short
constexpr int32_t kDispSelectionMode = 11;               // property, long
constexpr int32_t kDispSetTitleType = 12;                // (long titleType)
constexpr int32_t kDispSetQuadSelectionState = 13;       // (long QuadState)
constexpr int32_t kDispSetQuadStates = 14;               // (long* arrHWID, long* arrQuadStates)
constexpr int32_t kDispSetExistingChannelsV = 15;        // (VARIANT* arrHWID)
constexpr int32_t kDispSetQuadStatesV = 16;              // (VARIANT* arrHWID, VARIANT* arrQuadStates)
constexpr int32_t kDispSetSelectedChannelsV = 17;        // (VARIANT* arrHWID, long State)
constexpr int32_t kDispInitializeButtonsV = 18;          // (VARIANT* names, long, long, short, short)
constexpr int32_t kDispGetChannelState = 19;             // (long hwid) -> long
constexpr int32_t kDispSetToggleDefaultQuadState = 20;   // (long DefaultQuadState)

// Event ids of "_DKeyrowEvents".
constexpr int32_t kEvtButtonClicked = 1;                 // (BOOL selected, short hwid)
constexpr int32_t kEvtFireButtonStateChanged = 2;        // (long NewState, short hwid)
constexpr int32_t kEvtFireAllClicked = 3;                // (BOOL selected, long* arrHWID)
constexpr int32_t kEvtFireAllClickedV = 4;               // (BOOL selected, VARIANT* arrHWID)

// What InitializeButtons receives: 256 slots of 32 bytes (NUL-terminated ANSI text), then the
// 32-bit name count at byte 8192.
constexpr int kKeyrowNameSlots = 256;
constexpr int kKeyrowNameSlotBytes = 32;
struct KeyrowNameBlock
{
    char names[kKeyrowNameSlots][kKeyrowNameSlotBytes];
    int32_t count;
};
static_assert(sizeof(KeyrowNameBlock) == 8196, "name block layout drifted");

// Version block of the library.
constexpr const char* kKeyrowFileVersion = "1.2.1.0";
constexpr const char* kKeyrowFileDescription = "Keyrow ActiveX";
// The persisted version stamp (1.1); the control persists no properties of its own.
constexpr uint32_t kKeyrowPersistedVersion = 0x10001;
// Misc status of the control class: activate when visible, set client site first, inside-out,
// can't link inside, recompose on resize.
constexpr uint32_t kKeyrowMiscStatus = 0x20191;
