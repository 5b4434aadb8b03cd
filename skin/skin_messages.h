#pragma once
#include <cstdint>

#include "platform/message_target.h"

// Messages of the skinned controls.
constexpr uint32_t WM_SKINSLIDER_DOWN = 3072; // slider pressed: wParam = slider number, lParam = position
constexpr uint32_t WM_SKINSLIDER_UP = 3073;   // slider released
constexpr uint32_t WM_SKINSLIDER_MOVE = 3074; // slider dragged to a new position
constexpr uint32_t WM_SKIN_RADIO_UNCHECK = platform::kWmUser + 0x100; // 1280: to the other radios of a group
