#pragma once
// What the map window keeps and sends to its page, without the browser: the
// current position, offset, speed, heading, track index and status; the
// scripts that write them into the page and call its functions; which page to
// load; and how failing page scripts are reported. CMapDlg only runs the
// scripts this class builds. No Qt here.
#include <string>
#include <string_view>

#include "telemetry/map/map_options.h"

// The page's functions are called through a wrapper script whose result says
// what happened.
enum class ScriptOutcome {
  Ran,     // the function ran and returned
  Missing, // the page has no such function: skipped silently
  Failed,  // the function threw
};

// The page to load: a file of the program folder, or the built-in page when
// path is empty.
struct MapPageChoice {
  std::string path;
  bool BuiltIn() const { return path.empty(); }
};

class MapBridge {
public:
  // The default position comes from the options; every other value starts at
  // its initial value.
  explicit MapBridge(MapOptions options = {});

  // What UpdatePosition did with a telemetry text.
  enum class Update {
    Rejected, // no accepted fix: nothing changed
    Stored,   // a fix for another track index: values stored, nothing to send
    Send,     // push the values and call "refreshMap"
  };
  // Parses the text; an accepted fix becomes the current position, speed and
  // course. For the current track index the position is also stored as the
  // default position of the next start (never 0, 0), the map offset is looked
  // up and the status becomes "running".
  Update UpdatePosition(int index, std::string_view text);
  // Starts a new track: returns false (nothing to do) when index is already
  // the track index. Otherwise the values become 0 (the offsets keep theirs),
  // the status "clear" and the index -1; pushScript receives the script that
  // writes them, and the index then becomes the new one (sent with the next
  // push).
  bool ClearTrack(int index, std::string& pushScript);
  void SetDefaultPosition(double latitude, double longitude);

  // One script that writes the eight values into the page's elements (value
  // property), numbers in the C locale; an element the page lacks is skipped.
  std::string PushScript() const;
  // Writes the default position ("%f") and the page's settings as the text of
  // their elements: "default_lng", "default_lat", "tile_url", "satellite_url"
  // and "net_fail_text" (the translated offline notice).
  std::string PageSettingsScript() const;
  // A script that calls the page's function name without arguments and
  // evaluates to "ran", "missing" or "failed: <message>".
  static std::string CallScriptSource(std::string_view name);
  // Reads that script's result; *message gets the error text of a failure.
  static ScriptOutcome ReadCallResult(std::string_view result, std::string* message = nullptr);

  // Failures of page functions: the first of a page load is shown, the rest
  // are counted. PageLoadStarted starts a new page load.
  void PageLoadStarted();
  // True when this failure is to be shown.
  bool ReportFailure();
  int SilentFailures() const { return silentFailures_; }

  // The page of the options: "map/mapdlg_baidu.htm" or "map/mapdlg.htm" in
  // the resource folder; the built-in page when that file does not exist.
  MapPageChoice ChoosePage() const;

  // The values, as the play control panel reads them.
  double Longitude() const { return mapLng_; }
  double Latitude() const { return mapLat_; }
  double OffsetLongitude() const { return offsetLng_; }
  double OffsetLatitude() const { return offsetLat_; }
  double Speed() const { return speed_; }
  double Angle() const { return angle_; }
  int TrackIndex() const { return index_; }
  const std::string& Status() const { return status_; }
  double DefaultLongitude() const { return defaultLng_; }
  double DefaultLatitude() const { return defaultLat_; }

private:
  MapOptions options_;
  double defaultLng_ = 0, defaultLat_ = 0;
  double mapLng_ = 0, mapLat_ = 0;
  double offsetLng_ = 0, offsetLat_ = 0;
  std::string status_ = "stopped";
  double speed_ = 0;
  double angle_ = 0;
  int index_ = -1;
  bool failureShown_ = false;
  int silentFailures_ = 0;
};

// A number as JavaScript reads it, whatever the locale: the shortest form
// that reads back exactly; NaN and Infinity for values that are not finite.
std::string JsNumber(double value);
// A JavaScript string literal (double quotes) of UTF-8 text.
std::string JsString(std::string_view text);
