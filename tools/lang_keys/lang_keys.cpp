#include "tools/lang_keys/lang_keys.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/profile.h"
#include "platform/text.h"

namespace langkeys {
namespace {

namespace fs = std::filesystem;

bool IsIdentChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

struct Token {
  enum Kind { Ident, String, Punct } kind;
  std::string text;
  int line;
};

// Decodes the escapes of a literal's body (the common ones; \x and octal too).
std::string Unescape(std::string_view body) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 == body.size()) {
      out += body[i];
      continue;
    }
    char c = body[++i];
    switch (c) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': {
        int v = 0, n = 0;
        while (n < 3 && i < body.size() && body[i] >= '0' && body[i] <= '7') v = v * 8 + (body[i++] - '0'), ++n;
        --i;
        out += static_cast<char>(v);
        break;
      }
      case 'x': {
        int v = 0;
        while (i + 1 < body.size() && std::isxdigit(static_cast<unsigned char>(body[i + 1])))
          v = v * 16 + std::stoi(std::string(1, body[++i]), nullptr, 16);
        out += static_cast<char>(v);
        break;
      }
      default: out += c; // \" \' \\ \?
    }
  }
  return out;
}

std::vector<Token> Tokenize(const std::string& s) {
  std::vector<Token> tokens;
  int line = 1;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const char c = s[i];
    if (c == '\n') {
      ++line, ++i;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '/') {
      while (i < n && s[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t end = s.find("*/", i + 2);
      end = end == std::string::npos ? n : end + 2;
      line += static_cast<int>(std::count(s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(end), '\n'));
      i = end;
    } else if (c == 'R' && i + 1 < n && s[i + 1] == '"' && (i == 0 || !IsIdentChar(s[i - 1]))) {
      // Raw string: R"delim( ... )delim"
      size_t open = s.find('(', i + 2);
      if (open == std::string::npos) break;
      const std::string close = ")" + s.substr(i + 2, open - i - 2) + "\"";
      size_t end = s.find(close, open + 1);
      if (end == std::string::npos) end = n;
      tokens.push_back({Token::String, s.substr(open + 1, end - open - 1), line});
      line += static_cast<int>(std::count(s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(std::min(end, n)), '\n'));
      i = std::min(n, end + close.size());
    } else if (c == '"' || c == '\'') {
      size_t j = i + 1;
      while (j < n && s[j] != c && s[j] != '\n') j += s[j] == '\\' ? 2 : 1;
      if (c == '"') tokens.push_back({Token::String, Unescape(std::string_view(s).substr(i + 1, j - i - 1)), line});
      i = j + 1;
    } else if (IsIdentChar(c)) {
      size_t j = i;
      while (j < n && IsIdentChar(s[j])) ++j;
      // An encoding prefix (u8"...", L"...") belongs to the literal that follows.
      const std::string word = s.substr(i, j - i);
      if (j < n && s[j] == '"' && (word == "u8" || word == "L" || word == "u" || word == "U")) {
        i = j;
        continue;
      }
      tokens.push_back({Token::Ident, word, line});
      i = j;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else {
      tokens.push_back({Token::Punct, std::string(1, c), line});
      ++i;
    }
  }
  return tokens;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

} // namespace

void CollectKeys(const std::string& source, const std::string& fileName, KeyUses* keys) {
  const std::vector<Token> t = Tokenize(source);
  for (size_t i = 0; i + 3 < t.size(); ++i) {
    if (t[i].kind != Token::Ident ||
        (t[i].text != "Translate" && t[i].text != "Tr" && t[i].text != "tr" && t[i].text != "TR_KEY"))
      continue;
    if (i > 0 && t[i - 1].kind == Token::Punct && t[i - 1].text == ".") continue; // obj.Tr(...): another Tr
    if (t[i + 1].text != "(" || t[i + 2].kind != Token::String) continue;
    std::string key;
    size_t j = i + 2;
    while (j < t.size() && t[j].kind == Token::String) key += t[j++].text;
    if (j < t.size() && t[j].kind == Token::Punct && t[j].text == ")")
      (*keys)[key].push_back(fileName + ":" + std::to_string(t[i].line));
  }
}

KeyUses CollectTree(const std::string& root) {
  KeyUses keys;
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path rel = fs::relative(it->path(), root);
    const std::string first = rel.begin()->string();
    const std::string name = it->path().filename().string();
    if (it->is_directory()) {
      if (name[0] == '.' || name.rfind("build", 0) == 0 || rel == "tests" || rel == "tools/lang_keys")
        it.disable_recursion_pending();
      continue;
    }
    const std::string ext = it->path().extension().string();
    if (ext == ".cpp" || ext == ".h") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& f : files) CollectKeys(ReadAll(f.string()), fs::relative(f, root).string(), &keys);
  return keys;
}

std::vector<std::string> FileKeys(const std::string& path) {
  std::string bytes = ReadAll(path);
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    bytes = platform::Utf16LeToUtf8(std::string_view(bytes).substr(2));
  else if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
    bytes.erase(0, 3);
  std::vector<std::string> keys;
  bool inSection = false;
  std::istringstream lines(bytes);
  for (std::string line; std::getline(lines, line);) {
    std::string_view l = platform::TrimSpaces(line);
    if (!l.empty() && l.back() == '\r') l = platform::TrimSpaces(l.substr(0, l.size() - 1));
    if (!l.empty() && l.front() == '[') {
      const size_t close = l.find(']');
      inSection = close != std::string_view::npos &&
                  platform::EqualsNoCase(platform::TrimSpaces(l.substr(1, close - 1)), "Language String");
      continue;
    }
    const size_t eq = l.find('=');
    if (inSection && eq != std::string_view::npos) keys.emplace_back(platform::TrimSpaces(l.substr(0, eq)));
  }
  return keys;
}

std::string KeyProblem(const std::string& key) {
  if (key.empty()) return "empty";
  if (key.find('=') != std::string::npos) return "holds '='";
  if (key.find_first_of("\r\n") != std::string::npos) return "holds a line break";
  if (platform::TrimSpaces(key) != key) return "starts or ends with a space";
  if (key.front() == '[' || key.front() == ';') return "starts with '[' or ';'";
  return "";
}

FileReport CheckFile(const std::string& path, const KeyUses& keys) {
  FileReport r;
  r.file = path;
  for (const auto& [key, uses] : keys)
    if (KeyProblem(key).empty() && !platform::ProfileLookup(path, "Language String", key)) r.missing.push_back(key);
  for (const std::string& k : FileKeys(path)) {
    const bool used = std::any_of(keys.begin(), keys.end(),
                                  [&](const auto& entry) { return platform::EqualsNoCase(entry.first, k); });
    if (!used) r.unused.push_back(k);
  }
  return r;
}

} // namespace langkeys
