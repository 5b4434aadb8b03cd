#pragma once
#include <string>
#include <string_view>

namespace platform {

// UTF-16LE bytes (without byte order mark) to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
// UTF-8 to UTF-16LE bytes; invalid sequences become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text);
// The first maxChars characters (code points) of a UTF-8 text, never cutting a sequence.
std::string TruncateUtf8(std::string_view text, size_t maxChars);

// ASCII case-insensitive comparison, as the camera's FAT names and INI keys need.
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string_view TrimSpaces(std::string_view s);

} // namespace platform
