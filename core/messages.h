#pragma once
#include <cstdint>

#include "platform/message_target.h"

// Messages the playback pipeline posts to the windows.
constexpr uint32_t WM_TS_PROGRESS = platform::kWmUser + 106;   // 1130: wParam = reader position, permille
constexpr uint32_t WM_TS_TELEMETRY = platform::kWmUser + 107;  // 1131: a telemetry text waits; or a scan starts
constexpr uint32_t WM_TS_FILECHANGE = platform::kWmUser + 108; // 1132: the reader restarted; or a list is complete
