#include "telemetry/map/map_bridge.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/tr_key.h"
#include "telemetry/gps_offset.h"
#include "telemetry/telemetry.h"

namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

} // namespace

std::string JsNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

std::string JsString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    case '<': out += "\\x3c"; break; // never "</script>" inside a page
    default:
      if (c < 0x20) {
        static const char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
      } else {
        out += static_cast<char>(c);
      }
    }
  }
  out += '"';
  return out;
}

MapBridge::MapBridge(MapOptions options) : options_(std::move(options)) {
  defaultLng_ = options_.defaultLongitude;
  defaultLat_ = options_.defaultLatitude;
  mapLng_ = defaultLng_;
  mapLat_ = defaultLat_;
}

MapBridge::Update MapBridge::UpdatePosition(int index, std::string_view text) {
  double lat = mapLat_, lng = mapLng_, speed = speed_, angle = angle_;
  if (ParseTelemetry(text, &lat, &lng, &speed, &angle) != 1) return Update::Rejected;
  mapLat_ = lat;
  mapLng_ = lng;
  speed_ = speed;
  angle_ = angle;
  if (index != index_) return Update::Stored;

  // The last position shown becomes the next start's map centre; a receiver's
  // 0, 0 is no place to start from.
  if (!(lat == 0 && lng == 0) && options_.storeDefaultPosition) options_.storeDefaultPosition(lat, lng);
  const MapOffset offset =
      MapOffsetFor(lng, lat, options_.offsetChoice ? options_.offsetChoice() : MapOffsetChoice{});
  offsetLng_ = offset.longitude;
  offsetLat_ = offset.latitude;
  status_ = "running";
  return Update::Send;
}

bool MapBridge::ClearTrack(int index, std::string& pushScript) {
  if (index == index_) return false;
  index_ = -1;
  mapLng_ = mapLat_ = 0;
  speed_ = angle_ = 0;
  status_ = "clear";
  pushScript = PushScript();
  index_ = index;
  return true;
}

void MapBridge::SetDefaultPosition(double latitude, double longitude) {
  defaultLat_ = latitude;
  defaultLng_ = longitude;
}

std::string MapBridge::PushScript() const {
  std::string s = "(function(){var v={";
  s += "map_lng:" + JsNumber(mapLng_);
  s += ",map_lat:" + JsNumber(mapLat_);
  s += ",offset_lng:" + JsNumber(offsetLng_);
  s += ",offset_lat:" + JsNumber(offsetLat_);
  s += ",map_status:" + JsString(status_);
  s += ",SpeedBarText:" + JsNumber(speed_);
  s += ",AngleBar:" + JsNumber(angle_);
  s += ",Index:" + std::to_string(index_);
  s += "};for(var k in v){var e=document.getElementById(k);if(e)e.value=v[k];}})();";
  return s;
}

std::string MapBridge::PageSettingsScript() const {
  const std::string_view kNetFail = TR_KEY("Internet connect fail!");
  std::string s = "(function(){var t={";
  s += "default_lng:" + JsString(FormatNumber(defaultLng_, 6));
  s += ",default_lat:" + JsString(FormatNumber(defaultLat_, 6));
  s += ",tile_url:" + JsString(options_.tileUrl);
  s += ",satellite_url:" + JsString(options_.satelliteUrl);
  s += ",net_fail_text:" + JsString(Text(kNetFail));
  s += "};for(var k in t){var e=document.getElementById(k);if(e)e.textContent=t[k];}})();";
  return s;
}

std::string MapBridge::CallScriptSource(std::string_view name) {
  const std::string fn = JsString(name);
  return "(function(){var f=window[" + fn + "];if(typeof f!=='function')return 'missing';"
         "try{f();return 'ran';}catch(e){return 'failed: '+String(e&&e.message!==undefined?e.message:e);}})()";
}

ScriptOutcome MapBridge::ReadCallResult(std::string_view result, std::string* message) {
  if (result == "ran") return ScriptOutcome::Ran;
  if (result == "missing") return ScriptOutcome::Missing;
  constexpr std::string_view kFailed = "failed: ";
  if (message) *message = std::string(result.substr(0, kFailed.size()) == kFailed ? result.substr(kFailed.size()) : result);
  return ScriptOutcome::Failed;
}

void MapBridge::PageLoadStarted() { failureShown_ = false; }

bool MapBridge::ReportFailure() {
  if (!failureShown_) {
    failureShown_ = true;
    return true;
  }
  ++silentFailures_;
  return false;
}

MapPageChoice MapBridge::ChoosePage() const {
  std::string path = options_.resourceFolder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += options_.secondPage ? "map/mapdlg_baidu.htm" : "map/mapdlg.htm";
  MapPageChoice choice;
  if (IsFile(path)) choice.path = path;
  return choice;
}
