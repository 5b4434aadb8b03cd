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

namespace platform {

// Reads the decimal number at the start of a text as strtod does, but always
// with '.' as the decimal point and never past the end of the view: leading
// blanks, an optional sign, digits, an optional fraction and exponent. Returns
// 0 when no number starts there; *used (when given) receives the characters read.
double ParseDecimalPrefix(std::string_view text, size_t* used = nullptr);

// The number with six decimals ("%f"), always with '.' as the decimal point.
std::string FormatFixed6(double value);

} // namespace platform
