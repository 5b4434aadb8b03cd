#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// INI profile files with the semantics of the Windows profile functions:
// - "[section]" header lines, then "key=value" lines; section and key names
//   match without regard to ASCII case; the first match wins;
// - names and values are trimmed; a value enclosed in a pair of matching
//   quotes loses them;
// - a file that starts with a UTF-16LE byte order mark is read as UTF-16,
//   any other file as 8-bit text (UTF-8 here); texts cross this interface as UTF-8.
// Every call opens, reads (or writes) and closes the file; nothing is cached.

// The value of the key, or nullopt when the file, the section or the key is
// missing (a line without '=' defines no value).
std::optional<std::string> ProfileLookup(const std::string& file, std::string_view section, std::string_view key);

// The value, or def when it is missing or empty.
std::string ProfileGetString(const std::string& file, std::string_view section, std::string_view key,
                             std::string_view def);

// The value read as an integer: an optional sign, then decimal digits (or
// hexadecimal after "0x"), as far as they go; a value that starts with no
// number reads as 0. def when the key is missing or empty.
int ProfileGetInt(const std::string& file, std::string_view section, std::string_view key, int def);

// Sets key=value in the section, creating the file and the section when they
// are missing. Every other line of the file is kept as it was, as are its
// encoding and line endings. The file is replaced through a new file renamed
// over it, so a failed write leaves the old content whole. Returns false when
// the file cannot be written.
bool ProfileWriteString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

// Files larger than this are refused (read as missing, never rewritten).
constexpr size_t kProfileMaxBytes = 16u << 20;

} // namespace platform
