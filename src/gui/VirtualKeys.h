#pragma once

#include <Qt>

namespace tolvan::gui {

// The Windows virtual key code of a Qt key, as the program's key handlers expect it
// (Enter 13, Esc 27, arrows 37 to 40, F1 112 ...); 0 for a key that has none.
// `keypad` tells the number pad's digits and operators from the main keyboard's.
int virtualKeyOf(int qtKey, bool keypad);

}  // namespace tolvan::gui
