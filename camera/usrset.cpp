#include "camera/usrset.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/tr_key.h"

namespace {

constexpr const char* kLanguages[] = {TR_KEY("English"),    TR_KEY("TCHINESE"),   TR_KEY("SCHINESE"), TR_KEY("GERMANY"),
                                      TR_KEY("ITALY"),      TR_KEY("SPANISH"),    TR_KEY("FRENCH"),   TR_KEY("TURKISH"),
                                      TR_KEY("PORTUGUESE"), TR_KEY("NETHERLAND"), TR_KEY("JAPAN"),    TR_KEY("RUSSIA"),
                                      TR_KEY("KOREA")};
constexpr const char* kTimeZones[] = {"-12", "-11",   "-10", "-9:30", "-9",   "-8",    "-7",   "-6",    "-5", "-4:30",
                                      "-4",  "-3:30", "-3",  "-2",    "-1",   "0",     "1",    "2",     "3",  "3:30",
                                      "4",   "4:30",  "5",   "5:30",  "5:45", "6",     "6:30", "7",     "8",  "8:45",
                                      "9",   "9:30",  "10",  "10:30", "11",   "11:30", "12",   "12:45", "13", "14"};
constexpr const char* kTvStandards[] = {"NTSC", "PAL"};
constexpr const char* kFlickers[] = {"50Hz", "60Hz"};
constexpr const char* kOffOn[] = {TR_KEY("OFF"), TR_KEY("ON")};
constexpr const char* kWhiteBalances[] = {TR_KEY("AUTO"), TR_KEY("SUNNY"), TR_KEY("CLOUDY"), TR_KEY("FLUORESCENT"),
                                          TR_KEY("TUNGSTEN")};
constexpr const char* kEffects[] = {TR_KEY("COLOR"), TR_KEY("GRAYSCALE"), TR_KEY("CLASSIC")};
constexpr const char* kLevels4[] = {TR_KEY("Level 1"), TR_KEY("Level 2"), TR_KEY("Level 3"), TR_KEY("Level 4")};
constexpr const char* kLevels5[] = {TR_KEY("Level 1"), TR_KEY("Level 2"), TR_KEY("Level 3"), TR_KEY("Level 4"),
                                    TR_KEY("Level 5")};
constexpr const char* kRecResolutions[] = {TR_KEY("1920x1080 30fps"), TR_KEY("1280x720 60fps"),
                                           TR_KEY("1280x720 30fps")};
constexpr const char* kQualities[] = {TR_KEY("NORMAL"), TR_KEY("GOOD"), TR_KEY("BEST")};
constexpr const char* kPicResolutions[] = {TR_KEY("3M"), TR_KEY("5M"), TR_KEY("8M")};
constexpr const char* kPicModes[] = {TR_KEY("NORMAL CAPTURE"), TR_KEY("G-Sensor CAPTURE")};
constexpr const char* kPeriods[] = {TR_KEY("OFF"), TR_KEY("30 sec"), TR_KEY("1 min"), TR_KEY("5 min"),
                                    TR_KEY("30 min")};
constexpr const char* kSpeedUnits[] = {TR_KEY("OFF"), TR_KEY("KMH"), TR_KEY("MPH")};

const std::array<CameraOptionInfo, kCameraOptionCount> kOptions = {{
    {"Language", TR_KEY("Language:"), 1028, 1002, kLanguages, 0, true, 4},
    {"Time_Zone", TR_KEY("Time_Zone:"), 1029, 1006, kTimeZones, 28, false, 6},
    {"TV_Standard", TR_KEY("TV_Standard:"), 1033, 1007, kTvStandards, 0, false, 2},
    {"Frequency", TR_KEY("Frequency:"), 1031, 1008, kFlickers, 1, false, 2},
    {"MIC", TR_KEY("MIC:"), 1030, 1014, kOffOn, 1, true, 2},
    {"White_Balance", TR_KEY("White_Balance:"), 1034, 1009, kWhiteBalances, 0, true, 4},
    {"Effect", TR_KEY("Effect:"), 1037, 1010, kEffects, 0, true, 4},
    {"Sensor_SEN", TR_KEY("Sensor_SEN:"), 1035, 1011, kLevels4, 2, true, 4},
    {"REC_Resolution", TR_KEY("REC_Resolution:"), 1038, 1015, kRecResolutions, 0, true, 4},
    {"REC_Quality", TR_KEY("REC_Quality:"), 1039, 1012, kQualities, 1, true, 2},
    {"REC_G-Sensor_SEN", TR_KEY("REC_G-Sensor_SEN:"), 1040, 1013, kLevels5, 2, true, 4},
    {"CAP_Resolution", TR_KEY("CAP_Resolution:"), 1041, 1016, kPicResolutions, 1, true, 4},
    {"CAP_Mode", TR_KEY("CAP_Mode:"), 1042, 1017, kPicModes, 0, true, 2},
    {"CAP_Period", TR_KEY("CAP_Period:"), 1043, 1018, kPeriods, 0, true, 4},
    {"CAP_G-Sensor_SEN", TR_KEY("CAP_G-Sensor_SEN:"), 1044, 1019, kLevels5, 2, true, 4},
    {"Unit Of Speed", TR_KEY("Unit Of Speed:"), 1036, 1020, kSpeedUnits, 0, true, 2},
}};

// The index masked to the width of its field.
unsigned Field(const CameraSettings& s, int option) {
  return static_cast<unsigned>(s.index[static_cast<size_t>(option)]) &
         ((1u << kOptions[static_cast<size_t>(option)].bits) - 1);
}

uint8_t Low8(unsigned v) { return static_cast<uint8_t>(v & 0xFF); }

// Names and values compare without regard to case, a space matching an underscore.
bool SameName(std::string_view a, std::string_view b) {
  auto norm = [](char c) -> char {
    if (c == ' ') return '_';
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (norm(a[i]) != norm(b[i])) return false;
  return true;
}

}  // namespace

const std::array<CameraOptionInfo, kCameraOptionCount>& CameraOptions() { return kOptions; }

CameraSettings CameraSettings::Defaults() {
  CameraSettings s;
  for (size_t i = 0; i < kOptions.size(); ++i) s.index[i] = kOptions[i].defaultIndex;
  return s;
}

void CameraSettings::SetDateTime(int y, int mo, int d, int h, int mi) {
  year = y;
  month = mo;
  day = d;
  hour = h;
  minute = mi;
}

bool CameraSettings::IsNoTime() const {
  return year == 1980 && month == 1 && day == 1 && hour == 0 && minute == 0;
}

bool IsRealDateTime(int year, int month, int day, int hour, int minute) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || hour < 0 || hour > 23 || minute < 0 || minute > 59) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day >= 1 && day <= days;
}

uint32_t UsrSetCrc(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(::crc32(::crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
}

UsrSetBytes EncodeUsrSet(const CameraSettings& s) {
  const unsigned year = static_cast<unsigned>(std::clamp(s.year, kUsrSetFirstYear, kUsrSetLastYear) - 1980);
  const unsigned month = static_cast<unsigned>(s.month) & 0xF;
  const unsigned day = static_cast<unsigned>(s.day) & 0x1F;
  const unsigned hour = static_cast<unsigned>(s.hour) & 0x1F;
  const unsigned minute = static_cast<unsigned>(s.minute) & 0x3F;
  UsrSetBytes b{};
  b[4] = Low8(Field(s, kCamLanguage) << 4 | year >> 4);
  b[5] = Low8((year & 0xF) << 4 | month);
  b[6] = Low8(day << 3 | hour >> 2);
  b[7] = Low8((hour & 3) << 6 | minute);
  b[8] = Low8(Field(s, kCamTimeZone) << 2 | Field(s, kCamTvStandard));
  b[9] = Low8(Field(s, kCamFlicker) << 6 | Field(s, kCamMicrophone) << 4 | Field(s, kCamWhiteBalance));
  b[10] = Low8(Field(s, kCamEffect) << 4 | Field(s, kCamSensitivity));
  const unsigned recG = Field(s, kCamRecGLevel);
  b[11] = Low8(Field(s, kCamRecResolution) << 4 | Field(s, kCamRecQuality) << 2 | recG >> 2);
  b[12] = Low8((recG & 3) << 6 | Field(s, kCamPicResolution) << 2 | Field(s, kCamPicMode));
  b[13] = Low8(Field(s, kCamPicPeriod) << 4 | Field(s, kCamPicGLevel));
  b[14] = Low8(Field(s, kCamSpeedUnit) << 6);
  b[15] = kUsrSetMarker;
  const uint32_t crc = UsrSetCrc(b.data() + 4, 12);
  b[0] = Low8(crc >> 24);
  b[1] = Low8(crc >> 16);
  b[2] = Low8(crc >> 8);
  b[3] = Low8(crc);
  return b;
}

UsrSetStatus DecodeUsrSet(const uint8_t* data, size_t size, CameraSettings* out) {
  if (size < kUsrSetSize) return UsrSetStatus::Short;
  if (data[15] != 0xFC && data[15] != 0xFD) return UsrSetStatus::Marker;
  const uint32_t stored = static_cast<uint32_t>(data[0]) << 24 | static_cast<uint32_t>(data[1]) << 16 |
                          static_cast<uint32_t>(data[2]) << 8 | data[3];
  if (stored != UsrSetCrc(data + 4, 12)) return UsrSetStatus::Crc;

  CameraSettings s = *out;
  auto set = [&s](int option, unsigned v) { s.index[static_cast<size_t>(option)] = static_cast<int>(v); };
  set(kCamLanguage, data[4] >> 4);
  s.year = 1980 + static_cast<int>((data[4] & 0xF) << 4 | data[5] >> 4);
  s.month = data[5] & 0xF;
  s.day = data[6] >> 3;
  s.hour = (data[6] & 7) << 2 | data[7] >> 6;
  s.minute = data[7] & 0x3F;
  set(kCamTimeZone, data[8] >> 2);
  set(kCamTvStandard, data[8] & 3);
  set(kCamFlicker, data[9] >> 6);
  set(kCamMicrophone, (data[9] >> 4) & 3);
  set(kCamWhiteBalance, data[9] & 0xF);
  set(kCamEffect, data[10] >> 4);
  set(kCamSensitivity, data[10] & 0xF);
  set(kCamRecResolution, data[11] >> 4);
  set(kCamRecQuality, (data[11] >> 2) & 3);
  set(kCamRecGLevel, (data[11] & 3) << 2 | data[12] >> 6);
  set(kCamPicResolution, (data[12] >> 2) & 0xF);
  set(kCamPicMode, data[12] & 3);
  set(kCamPicPeriod, data[13] >> 4);
  set(kCamPicGLevel, data[13] & 0xF);
  set(kCamSpeedUnit, data[14] >> 6);
  s.setTime = !s.IsNoTime() && IsRealDateTime(s.year, s.month, s.day, s.hour, s.minute);
  *out = s;
  return UsrSetStatus::Ok;
}

std::string UsrSetStatusText(UsrSetStatus status, const uint8_t* bytes) {
  switch (status) {
  case UsrSetStatus::Ok: return "valid";
  case UsrSetStatus::Missing: return "missing";
  case UsrSetStatus::Unreadable: return "cannot be read";
  case UsrSetStatus::Short: return "short (fewer than 16 bytes)";
  case UsrSetStatus::Marker: {
    char text[64];
    std::snprintf(text, sizeof text, "wrong marker 0x%02X (0xFC or 0xFD expected)", bytes ? bytes[15] : 0);
    return bytes ? text : "wrong marker";
  }
  case UsrSetStatus::Crc: return "CRC does not match";
  }
  return "?";
}

std::string UsrSetPath(std::string_view root) {
  std::string path(root);
  if (!path.empty() && path.back() != '/') path += '/';
  return path + "usrset.dat";
}

UsrSetStatus ReadUsrSetFile(std::string_view root, CameraSettings* out, UsrSetBytes* raw) {
  const std::string path = UsrSetPath(root);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? UsrSetStatus::Missing : UsrSetStatus::Unreadable;
  uint8_t buf[kUsrSetSize] = {};
  size_t got = 0;
  while (got < sizeof buf) {
    const ssize_t n = ::read(fd, buf + got, sizeof buf - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return UsrSetStatus::Unreadable;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (raw) std::copy(buf, buf + kUsrSetSize, raw->begin());
  return DecodeUsrSet(buf, got, out);
}

bool WriteUsrSetFile(std::string_view root, const CameraSettings& s) {
  const std::string path = UsrSetPath(root);
  const std::string temp = path + ".new";
  const UsrSetBytes bytes = EncodeUsrSet(s);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the card with the folder's flush.
  std::string folder = path.substr(0, path.rfind('/') + 1);
  if (const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

int FindCameraOption(std::string_view name) {
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  for (size_t i = 0; i < kOptions.size(); ++i)
    if (SameName(name, kOptions[i].name)) return static_cast<int>(i);
  return -1;
}

int FindCameraValue(int option, std::string_view value) {
  if (option < 0 || option >= kCameraOptionCount) return -1;
  const auto& entries = kOptions[static_cast<size_t>(option)].entries;
  for (size_t i = 0; i < entries.size(); ++i)
    if (SameName(value, entries[i])) return static_cast<int>(i);
  return -1;
}

std::string CameraValueText(int option, int index) {
  const auto& entries = kOptions[static_cast<size_t>(option)].entries;
  if (index >= 0 && static_cast<size_t>(index) < entries.size()) return entries[static_cast<size_t>(index)];
  return "(" + std::to_string(index) + ")";
}
