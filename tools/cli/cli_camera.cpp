// velmora-cli camera: the camera's settings file "usrset.dat" on a card.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "camera/usrset.h"
#include "tools/cli/commands.h"

namespace {

void Print(const CameraSettings& s) {
  for (size_t i = 0; i < CameraOptions().size(); ++i)
    std::printf("%s: %s\n", CameraOptions()[i].name, CameraValueText(static_cast<int>(i), s.index[i]).c_str());
  std::printf("Set_Time: %s\n", s.setTime ? "on" : "off");
  std::printf("Data_Time: %04d/%02d/%02d %02d:%02d%s\n", s.year, s.month, s.day, s.hour, s.minute,
              IsRealDateTime(s.year, s.month, s.day, s.hour, s.minute) ? "" : " (not a date)");
}

std::string ValidNames() {
  std::string list;
  for (const CameraOptionInfo& o : CameraOptions()) list += std::string(list.empty() ? "" : ", ") + o.name;
  return list;
}

std::string ValidValues(int option) {
  std::string list;
  for (const char* e : CameraOptions()[static_cast<size_t>(option)].entries)
    list += std::string(list.empty() ? "" : ", ") + e;
  return list;
}

bool ParseTime(const std::string& text, CameraSettings* s) {
  int y, mo, d, h, mi;
  char end;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%c", &y, &mo, &d, &h, &mi, &end) != 5) return false;
  if (y < kUsrSetFirstYear || y > kUsrSetLastYear || !IsRealDateTime(y, mo, d, h, mi)) return false;
  s->SetDateTime(y, mo, d, h, mi);
  s->setTime = !s->IsNoTime();
  return true;
}

int Bad(const std::string& message) {
  std::fprintf(stderr, "velmora-cli camera: %s\n", message.c_str());
  return 2;
}

} // namespace

int RunCamera(const CliCommand& self, const ParsedOptions& options) {
  const std::vector<std::string>& args = options.operands;
  if (args.empty()) return UsageError(self, "no card given");
  const std::string card = args[0];
  const bool write = options.Has("--write");
  if (!write && (args.size() > 1 || options.Has("--time") || options.Has("--no-time")))
    return UsageError(self, "settings and the clock are changed with --write");
  struct stat st {};
  if (::stat(card.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "velmora-cli camera: %s: not a folder\n", card.c_str());
    return 1;
  }
  CameraSettings settings = CameraSettings::Defaults();
  UsrSetBytes raw{};
  const UsrSetStatus status = ReadUsrSetFile(card, &settings, &raw);
  const std::string file = UsrSetPath(card);

  if (!write) {
    if (status != UsrSetStatus::Ok) {
      std::fprintf(stderr, "velmora-cli camera: %s is %s%s\n", file.c_str(),
                   status == UsrSetStatus::Missing ? "" : "damaged: ", UsrSetStatusText(status, raw.data()).c_str());
      return 1;
    }
    Print(settings);
    return 0;
  }

  // Everything is checked before anything is written.
  const bool timeGiven = options.Has("--time") || options.Has("--no-time");
  if (options.Has("--time") && options.Has("--no-time")) return Bad("give one of --time and --no-time");
  if (options.Has("--no-time")) {
    settings.SetDateTime(1980, 1, 1, 0, 0);
    settings.setTime = false;
  } else if (options.Has("--time") && !ParseTime(options.Value("--time"), &settings)) {
    return Bad("--time needs a date and time YYYY-MM-DDTHH:MM between 1980 and 2235");
  }
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const size_t eq = a.find('=');
    if (eq == std::string::npos) return Bad("expected NAME=VALUE, not '" + a + "'");
    const int option = FindCameraOption(a.substr(0, eq));
    if (option < 0) return Bad("unknown setting '" + a.substr(0, eq) + "'; the settings are: " + ValidNames());
    const int value = FindCameraValue(option, a.substr(eq + 1));
    if (value < 0)
      return Bad("unknown value '" + a.substr(eq + 1) + "' for " + CameraOptions()[static_cast<size_t>(option)].name +
                 "; the values are: " + ValidValues(option));
    settings.index[static_cast<size_t>(option)] = value;
  }
  if (!timeGiven) {
    // As the dialog does when opened: the box cleared, the current local time written.
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    settings.SetDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min);
    settings.setTime = false;
  }
  if (status != UsrSetStatus::Ok && status != UsrSetStatus::Missing)
    std::fprintf(stderr, "velmora-cli camera: %s was damaged (%s); starting from the defaults\n", file.c_str(),
                 UsrSetStatusText(status, raw.data()).c_str());
  if (!WriteUsrSetFile(card, settings)) {
    std::fprintf(stderr, "velmora-cli camera: %s could not be written\n", file.c_str());
    return 1;
  }
  Print(settings);
  return 0;
}
