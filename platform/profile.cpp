#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16Le };

struct IniFile {
  bool exists = false;
  Encoding encoding = Encoding::Utf8;
  std::string text; // UTF-8, without byte order mark
};

// Reads the whole file. Returns false when it exists but cannot be read or is too large.
bool ReadIni(const std::string& path, IniFile& out) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kProfileMaxBytes) {
    ::close(fd);
    return false;
  }
  std::string raw;
  raw.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < raw.size()) {
    ssize_t n = ::read(fd, raw.data() + got, raw.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  raw.resize(got);
  out.exists = true;
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
    out.encoding = Encoding::Utf16Le;
    out.text = Utf16LeToUtf8(std::string_view(raw).substr(2));
  } else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    out.encoding = Encoding::Utf8Bom;
    out.text = raw.substr(3);
  } else {
    out.encoding = Encoding::Utf8;
    out.text = std::move(raw);
  }
  return true;
}

// One line of the file, as a view into the text (without its line break).
struct Line {
  size_t begin;    // offset of the line in the text
  size_t end;      // offset just past its content (before "\r\n" or "\n")
  size_t next;     // offset of the following line
};

template <typename F>
void ForEachLine(const std::string& text, F&& f) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t next = nl == std::string::npos ? text.size() : nl + 1;
    size_t end = nl == std::string::npos ? text.size() : nl;
    if (end > pos && text[end - 1] == '\r') --end;
    if (!f(Line{pos, end, next})) return;
    pos = next;
  }
}

// A section header's name, or nullopt when the line is not a header.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimSpaces(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  std::string_view name = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
  return TrimSpaces(name);
}

struct KeyLine {
  std::string_view name;
  std::string_view value;
};

std::optional<KeyLine> SplitKey(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{TrimSpaces(line.substr(0, eq)), TrimSpaces(line.substr(eq + 1))};
}

// Where a key sits in the text: the line holding it, or where a new key line goes.
struct Location {
  bool sectionFound = false;
  bool keyFound = false;
  Line keyLine{};
  std::string_view value;
  size_t insertAt = 0; // just after the section's last non-blank line
};

Location Locate(const std::string& text, std::string_view section, std::string_view key) {
  Location loc;
  bool inSection = false;
  ForEachLine(text, [&](const Line& l) {
    std::string_view line(text.data() + l.begin, l.end - l.begin);
    if (auto name = SectionName(line)) {
      if (inSection) return false; // the section ended; the first one found wins
      inSection = EqualsNoCase(*name, section);
      if (inSection) {
        loc.sectionFound = true;
        loc.insertAt = l.next;
      }
      return true;
    }
    if (!inSection) return true;
    if (!TrimSpaces(line).empty()) loc.insertAt = l.next;
    if (auto kv = SplitKey(line); kv && EqualsNoCase(kv->name, key)) {
      loc.keyFound = true;
      loc.keyLine = l;
      loc.value = kv->value;
      return false;
    }
    return true;
  });
  return loc;
}

std::string StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

bool WriteWhole(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Replaces the file with data through a temporary file in the same folder.
bool ReplaceFile(const std::string& path, const std::string& data) {
  std::string target = path;
  if (char* real = ::realpath(path.c_str(), nullptr)) { // write through a symbolic link
    target = real;
    std::free(real);
  }
  std::string tmp = target + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
  struct stat st {};
  mode_t mode = 0644;
  if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
  bool ok = ::fchmod(fd, mode) == 0 && WriteWhole(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(tmp.c_str(), target.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return false;
}

} // namespace

std::optional<std::string> ProfileLookup(const std::string& file, std::string_view section, std::string_view key) {
  IniFile ini;
  if (!ReadIni(file, ini) || !ini.exists) return std::nullopt;
  Location loc = Locate(ini.text, section, key);
  if (!loc.keyFound) return std::nullopt;
  return StripQuotes(loc.value);
}

std::string ProfileGetString(const std::string& file, std::string_view section, std::string_view key,
                             std::string_view def) {
  auto v = ProfileLookup(file, section, key);
  if (!v || v->empty()) return std::string(def);
  return *v;
}

int ProfileGetInt(const std::string& file, std::string_view section, std::string_view key, int def) {
  auto v = ProfileLookup(file, section, key);
  if (!v || v->empty()) return def;
  const char* p = v->c_str();
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  long long value = 0;
  for (;; ++p) {
    int digit;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    else if (base == 16 && *p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
    else break;
    value = value * base + digit;
    if (value > 0xFFFFFFFFLL) value = 0xFFFFFFFFLL; // saturate; the result wraps to 32 bits below
  }
  if (negative) value = -value;
  return static_cast<int>(static_cast<uint32_t>(value & 0xFFFFFFFF));
}

bool ProfileWriteString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
  IniFile ini;
  if (!ReadIni(file, ini)) return false;
  const std::string& text = ini.text;
  // New files get CRLF line ends, as the profile functions write them; an
  // existing file keeps the style it has.
  const std::string eol = !ini.exists || text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  // A line break inside a name or value would split the line; it becomes a blank.
  std::string cleanKey(key), cleanValue(value);
  for (std::string* s : {&cleanKey, &cleanValue})
    for (char& c : *s)
      if (c == '\r' || c == '\n') c = ' ';
  key = cleanKey;
  value = cleanValue;

  Location loc = Locate(text, section, key);
  std::string out;
  out.reserve(text.size() + key.size() + value.size() + section.size() + 16);
  if (loc.keyFound) {
    std::string_view line(text.data() + loc.keyLine.begin, loc.keyLine.end - loc.keyLine.begin);
    std::string_view name = SplitKey(line)->name;
    out.append(text, 0, loc.keyLine.begin);
    out.append(name).append("=").append(value);
    out.append(text, loc.keyLine.end, std::string::npos);
  } else if (loc.sectionFound) {
    out.append(text, 0, loc.insertAt);
    if (!out.empty() && out.back() != '\n') out += eol;
    out.append(key).append("=").append(value).append(eol);
    out.append(text, loc.insertAt, std::string::npos);
  } else {
    out = text;
    if (!out.empty() && out.back() != '\n') out += eol;
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
  }

  std::string bytes;
  switch (ini.encoding) {
    case Encoding::Utf16Le: bytes = "\xFF\xFE" + Utf8ToUtf16Le(out); break;
    case Encoding::Utf8Bom: bytes = "\xEF\xBB\xBF" + out; break;
    case Encoding::Utf8: bytes = std::move(out); break;
  }
  return ReplaceFile(file, bytes);
}

} // namespace platform
