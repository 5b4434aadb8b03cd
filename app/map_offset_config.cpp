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

MapOptions ReadMapOptions() {
  MapOptions options;
  options.resourceFolder = Settings().resourceFolder;
  options.secondPage = ReadConfigInt("Config", "baiduMap", 0) != 0;
  options.tileUrl = ReadConfigText("Config", kMapTileUrlKey, "");
  options.satelliteUrl = ReadConfigText("Config", kMapSatelliteUrlKey, "");
  options.defaultLongitude = ReadDecimal(ReadConfigText("Config", "m_default_lng", "120.528903"));
  options.defaultLatitude = ReadDecimal(ReadConfigText("Config", "m_default_lat", "24.077715"));
  options.offsetChoice = ReadMapOffsetChoice;
  options.translate = [](std::string_view english) { return Translate(english); };
  options.storeDefaultPosition = [](double latitude, double longitude) {
    Settings().defaultLatitude = latitude;
    Settings().defaultLongitude = longitude;
  };
  return options;
}
