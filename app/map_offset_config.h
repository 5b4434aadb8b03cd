#pragma once
// The map-offset settings of "Config.ini", read each time they are needed.
#include "telemetry/gps_offset.h"

// "GPS_Offset_Auto" (default 1), "GPS_Offset_X" and "GPS_Offset_Y" (decimal
// texts, '.' as decimal point, an absent or empty key reads as 0), read now.
MapOffsetChoice ReadMapOffsetChoice();

// Start-up's load of "offset_min.bin" from the resource folder, when
// "GPS_Offset_Auto" reads 1 now. Returns whether a table was loaded.
bool LoadMapOffsetTable();
