#pragma once

// How long the key must be held for a dash, and how long it must rest to close a symbol.
//
// Each is set by a slider in steps of 25 ms. A press that lasts at least DelayTime is a dash and
// a shorter one a dot: Timer1 runs for that long from the press, and Form1::MK_MouseUp weighs
// the event times against the same interval when the tick came late or early. The key up for
// SpaceDelayTime closes the symbol: Timer2 runs for that long from the release and appends the
// space. The main window takes its sliders' range, their first position and its timers' first
// intervals from here.

#include "settingskeys.h"

namespace Timing {

// A slider's positions, which the settings keep; and where both sliders stand until the user
// moves them: 150 ms and 250 ms.
constexpr int FirstPosition = Settings::DelayTime.low;
constexpr int LastPosition = Settings::DelayTime.high;
constexpr int StartPosition = Settings::DelayTime.builtIn;

// Slider1 and Timer1, in milliseconds.
constexpr int DelayTime(int position) {
    return 25 * position;
}
// Slider2 and Timer2, in milliseconds.
constexpr int SpaceDelayTime(int position) {
    return 25 * position + 100;
}

} // namespace Timing
