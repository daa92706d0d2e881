// SDL key codes and modifier states as the Windows virtual-key codes and shift bits the input
// tables use.
#pragma once

#include <cstdint>

namespace dax::platform {

// 0 for keys without a virtual-key code.
int SdlKeyToVirtualKey(int32_t sdlKeycode);
// Bits: 1 GUI, 2 Shift, 4 Alt, 8 Ctrl, 16 left, 32 right, 64 middle button held.
int SdlShiftState(uint16_t keyMods, uint32_t mouseButtons);
// Left 1, right 4, middle 5; 0 for other buttons.
int SdlMouseButton(uint8_t sdlButton);

}  // namespace dax::platform
