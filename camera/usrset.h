#pragma once
// The camera's own settings file "usrset.dat" in the root of its card: 16 bytes,
// a CRC-32 (most significant byte first) over bytes 4-15, bit fields packed
// from byte 4, and a marker in byte 15. Plain functions, no Qt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The sixteen options of the camera, in the order of the option table.
enum CameraOption : int {
  kCamLanguage,
  kCamTimeZone,
  kCamTvStandard,
  kCamFlicker,
  kCamMicrophone,
  kCamWhiteBalance,
  kCamEffect,
  kCamSensitivity,
  kCamRecResolution,
  kCamRecQuality,
  kCamRecGLevel,
  kCamPicResolution,
  kCamPicMode,
  kCamPicPeriod,
  kCamPicGLevel,
  kCamSpeedUnit,
  kCameraOptionCount
};

// One option: how the dialog shows it and how the file stores it.
struct CameraOptionInfo {
  const char* name;        // the label without its colon: "Language", "Time_Zone"
  const char* labelKey;    // the label text key: "Language:"
  int labelId;             // dialog control ids of the label and the list
  int listId;
  std::span<const char* const> entries; // in index order
  int defaultIndex;
  bool translated;         // entries are shown through Translate
  int bits;                // width of the field in the file
};

// The option table, shared by the dialog, the command line and the tests.
const std::array<CameraOptionInfo, kCameraOptionCount>& CameraOptions();

// What the dialog edits: one index per option, a date and time, and the
// set-time flag. An index may lie outside its list when it came from a file
// written by another program; it is kept as it is (masked to its field when
// written), so that a value the lists cannot show survives a Set.
struct CameraSettings {
  std::array<int, kCameraOptionCount> index{};
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0;
  bool setTime = false;

  // Every default index; the date 1980-01-01 00:00 and the flag cleared.
  static CameraSettings Defaults();
  // Puts the date and time, leaving the flag alone.
  void SetDateTime(int y, int mo, int d, int h, int mi);
  // Whether the date and time is 1980-01-01 00:00, "do not set the clock".
  bool IsNoTime() const;
  bool operator==(const CameraSettings&) const = default;
};

// The years the file can hold.
constexpr int kUsrSetFirstYear = 1980;
constexpr int kUsrSetLastYear = 1980 + 255;

// Whether the fields name a real date and time (month 1-12, a day of that
// month, hour 0-23, minute 0-59).
bool IsRealDateTime(int year, int month, int day, int hour, int minute);

constexpr size_t kUsrSetSize = 16;
constexpr uint8_t kUsrSetMarker = 0xFD;
using UsrSetBytes = std::array<uint8_t, kUsrSetSize>;

// The 16 bytes for the settings, marker 0xFD. Every index is masked to the
// width of its field and the year kept within 1980..2235, so that no value
// reaches a neighbouring field.
UsrSetBytes EncodeUsrSet(const CameraSettings& s);

enum class UsrSetStatus { Ok, Missing, Short, Marker, Crc, Unreadable };
// A short English reason for a status ("short file", "wrong marker 0xFE", ...).
std::string UsrSetStatusText(UsrSetStatus status, const uint8_t* bytes = nullptr);

// Reads the 16 bytes: the marker must be 0xFC or 0xFD and bytes 0-3 the CRC-32
// of bytes 4-15. On success every field goes into *out (indexes as stored, the
// date as stored); the set-time flag is set when the date is a real date other
// than 1980-01-01 00:00. On failure *out is left as it was.
UsrSetStatus DecodeUsrSet(const uint8_t* data, size_t size, CameraSettings* out);

// zlib's CRC-32 of a buffer.
uint32_t UsrSetCrc(const uint8_t* data, size_t size);

// The file's path on a card root ("/media/user/CARD/" or without the slash).
std::string UsrSetPath(std::string_view root);
// Reads the card's file into *out (unchanged unless the status is Ok); *raw
// (when given) receives the bytes read, zero-filled past a short file.
UsrSetStatus ReadUsrSetFile(std::string_view root, CameraSettings* out, UsrSetBytes* raw = nullptr);
// Writes the card's file: a new file beside it, flushed and renamed over the
// old one, so that a card pulled out mid-write keeps its old settings. False
// when any step failed (the old file then stays as it was).
bool WriteUsrSetFile(std::string_view root, const CameraSettings& s);

// Looks up an option by the name the dialog shows (case-insensitive; spaces and
// underscores match each other, a trailing colon is ignored). -1 when unknown.
int FindCameraOption(std::string_view name);
// Looks up an entry of an option's list the same way. -1 when unknown.
int FindCameraValue(int option, std::string_view value);
// The entry's text, or the number in brackets when the index lies outside the list.
std::string CameraValueText(int option, int index);
