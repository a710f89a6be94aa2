#pragma once
// The colour states of the quad-state selection modes and the colours each gives a button.

#include <cstdint>

#include "keyrow/core/CButtonColors.h"

enum KeyrowQuadStates : int32_t {
    QuadStateNormal = 0,
    QuadStateBlue = 1,
    QuadStateRed = 2,
    QuadStateBlank = 3,
    QuadStateNone = 4,
    QuadStateYellow = 5
};

// A caller's value as stored: 0..3 as they are, 4 becomes yellow (5), anything else none (4).
KeyrowQuadStates MapQuadState(int32_t value);

// Applies the state's colour row; QuadStateNone (and any unknown value) leaves them as they are.
void ApplyQuadStateColors(CButtonColors& colors, KeyrowQuadStates state);

// The on/off colours of selection mode 1: "on" is red when pressed and focused, "off" the face.
void ApplyOnOffColors(CButtonColors& colors, bool on);

// A channel listed as off in mode 1: lighter when pressed or focused, darker otherwise.
void ApplyListedOffColors(CButtonColors& colors);
