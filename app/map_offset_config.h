#pragma once
// The map settings of "Config.ini", read each time they are needed.
#include <string_view>

#include "telemetry/gps_offset.h"
#include "telemetry/map/map_options.h"

// "GPS_Offset_Auto" (default 1), "GPS_Offset_X" and "GPS_Offset_Y" (decimal
// texts, '.' as decimal point, an absent or empty key reads as 0), read now.
MapOffsetChoice ReadMapOffsetChoice();

// Start-up's load of "offset_min.bin" from the resource folder, when
// "GPS_Offset_Auto" reads 1 now. Returns whether a table was loaded.
bool LoadMapOffsetTable();

// Settings keys (section "Config") for the tile addresses of the built-in
// map page: a template with {z}, {x} and {y}, as tile servers take them. Empty
// means the page's own (OpenStreetMap's standard tiles, and satellite
// imagery).
inline constexpr std::string_view kMapTileUrlKey = "MapTileUrl";
inline constexpr std::string_view kMapSatelliteUrlKey = "MapSatelliteUrl";

// What the map window takes from the settings, read now: the resource
// folder, "baiduMap", the tile addresses and the default position
// ("m_default_lng", "m_default_lat"); the offset choice read at every fix,
// the language in use, and the default position of AppSettings as the place
// where the last position shown is kept.
MapOptions ReadMapOptions();
