#include "app/map_offset_config.h"

#include "app/settings.h"
#include "telemetry/telemetry.h"

MapOffsetChoice ReadMapOffsetChoice() {
  MapOffsetChoice choice;
  choice.automatic = ReadConfigInt("Config", "GPS_Offset_Auto", 1) == 1;
  if (!choice.automatic) {
    // X is the latitude offset, Y the longitude offset.
    choice.fixed.latitude = ReadDecimal(ReadConfigText("Config", "GPS_Offset_X", ""));
    choice.fixed.longitude = ReadDecimal(ReadConfigText("Config", "GPS_Offset_Y", ""));
  }
  return choice;
}

bool LoadMapOffsetTable() {
  return LoadGpsOffsetTableAtStartUp(ReadMapOffsetChoice().automatic, Settings().resourceFolder + "offset_min.bin");
}
