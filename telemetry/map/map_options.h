#pragma once
// What the map window takes from its owner: where its pages are, the settings
// it reads, how it translates its texts and where the last position shown is
// kept. The owner fills it from its settings store; the map reads no settings
// of its own. No Qt here.
#include <functional>
#include <string>
#include <string_view>

#include "telemetry/gps_offset.h"

struct MapOptions {
  // The folder that holds map/ (with or without a trailing '/').
  std::string resourceFolder;
  // "map/mapdlg_baidu.htm" instead of "map/mapdlg.htm".
  bool secondPage = false;
  // Tile address templates of the built-in page ({z}, {x}, {y}); empty means
  // the page's own.
  std::string tileUrl;
  std::string satelliteUrl;
  // The map centre until SetDefaultPosition says otherwise.
  double defaultLongitude = 120.528903;
  double defaultLatitude = 24.077715;
  // How the offset of a fix is chosen, asked at every fix (the setting may
  // change while the map runs). Empty: the offset table.
  std::function<MapOffsetChoice()> offsetChoice;
  // The text in the language in use. Empty: the English text.
  std::function<std::string(std::string_view english)> translate;
  // Keeps the last position shown as the next start's map centre. Empty:
  // nothing is kept.
  std::function<void(double latitude, double longitude)> storeDefaultPosition;
};
