#include "platform/text.h"

#include <cstdint>

namespace platform {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::string& out, uint32_t cp) {
  auto unit = [&out](uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>((u >> 8) & 0xFF);
  };
  if (cp < 0x10000) {
    unit(cp);
  } else {
    cp -= 0x10000;
    unit(0xD800 + (cp >> 10));
    unit(0xDC00 + (cp & 0x3FF));
  }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Invalid input yields U+FFFD.
uint32_t DecodeUtf8(std::string_view s, size_t& i) {
  auto b = static_cast<unsigned char>(s[i++]);
  if (b < 0x80) return b;
  int extra = 0;
  uint32_t cp = 0;
  if ((b & 0xE0) == 0xC0) { extra = 1; cp = b & 0x1F; }
  else if ((b & 0xF0) == 0xE0) { extra = 2; cp = b & 0x0F; }
  else if ((b & 0xF8) == 0xF0) { extra = 3; cp = b & 0x07; }
  else return 0xFFFD;
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  return cp;
}

} // namespace

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t n = bytes.size() / 2;
  auto unitAt = [&bytes](size_t k) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * k])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * k + 1])) << 8);
  };
  for (size_t k = 0; k < n; ++k) {
    uint32_t u = unitAt(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
      uint32_t lo = unitAt(k + 1);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        ++k;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size();) AppendUtf16(out, DecodeUtf8(text, i));
  return out;
}

std::string TruncateUtf8(std::string_view text, size_t maxChars) {
  size_t i = 0;
  for (size_t chars = 0; i < text.size() && chars < maxChars; ++chars) {
    size_t before = i;
    DecodeUtf8(text, i);
    if (i == before) ++i;
  }
  return std::string(text.substr(0, i));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string_view TrimSpaces(std::string_view s) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

} // namespace platform

#include <charconv>
#include <cmath>

namespace platform {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
} // namespace

double ParseDecimalPrefix(std::string_view text, size_t* used) {
  if (used) *used = 0;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  // Mantissa: digits, optional '.', digits; at least one digit in all.
  const size_t mantissaStart = i;
  size_t intDigits = 0, fracDigits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++intDigits;
  const size_t intEnd = i;
  if (i < n && text[i] == '.') {
    size_t j = i + 1;
    while (j < n && IsDigit(text[j])) ++j, ++fracDigits;
    if (intDigits + fracDigits > 0) i = j;
  }
  if (intDigits + fracDigits == 0) return 0.0;

  // Exponent, only when at least one digit follows.
  int64_t exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < n && (text[j] == '+' || text[j] == '-')) expNegative = text[j++] == '-';
    if (j < n && IsDigit(text[j])) {
      while (j < n && IsDigit(text[j])) {
        if (exponent < 1000000000) exponent = exponent * 10 + (text[j] - '0');
        ++j;
      }
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }
  const size_t end = i;

  double value = 0;
  auto result = std::from_chars(text.data() + mantissaStart, text.data() + end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: decide by the decimal magnitude of the number.
    int64_t magnitude;
    size_t k = mantissaStart;
    while (k < intEnd && text[k] == '0') ++k;
    if (k < intEnd) {
      magnitude = static_cast<int64_t>(intEnd - k) - 1;
    } else {
      size_t f = intEnd + 1, zeros = 0;
      while (f < end && text[f] == '0') ++f, ++zeros;
      magnitude = -static_cast<int64_t>(zeros) - 1;
    }
    value = magnitude + exponent > 0 ? HUGE_VAL : 0.0;
  } else if (result.ec != std::errc() || result.ptr != text.data() + end) {
    value = 0; // cannot happen for the checked form above
  }
  if (used) *used = end;
  return negative ? -value : value;
}

std::string FormatFixed6(double value) {
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
  if (ec != std::errc()) return "0.000000";
  return std::string(buf, end);
}

} // namespace platform
