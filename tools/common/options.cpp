#include "tools/common/options.h"

#include <algorithm>
#include <cstdio>

bool ParsedOptions::Has(const std::string& name) const {
  return values.count(name) > 0 || std::find(switches.begin(), switches.end(), name) != switches.end();
}

std::string ParsedOptions::Value(const std::string& name) const {
  auto it = values.find(name);
  return it == values.end() ? std::string() : it->second;
}

namespace {

const OptionRule* Find(const std::vector<OptionRule>& rules, const std::string& word) {
  for (const auto& s : rules)
    if (word == s.name || (s.alias && word == s.alias)) return &s;
  return nullptr;
}

bool IsOptionWord(const std::vector<OptionRule>& rules, const std::string& word) {
  if (word == "--help" || word == "-h" || word == "--version") return true;
  const std::string name = word.substr(0, word.find('='));
  return Find(rules, name) != nullptr;
}

} // namespace

ParseResult ParseOptions(const std::string& program, const std::vector<OptionRule>& rules,
                         const std::vector<std::string>& args, ParsedOptions* out) {
  *out = ParsedOptions{};
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out->operands.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "--help" || a == "-h") return ParseResult::Help;
    if (a == "--version") return ParseResult::Version;
    const size_t eq = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
    const std::string word = a.substr(0, eq);
    const OptionRule* rule = Find(rules, word);
    if (!rule) {
      std::fprintf(stderr, "%s: unknown option '%s' (see %s --help)\n", program.c_str(), word.c_str(), program.c_str());
      return ParseResult::Error;
    }
    if (!rule->valueName) {
      if (eq != std::string::npos) {
        std::fprintf(stderr, "%s: %s takes no value\n", program.c_str(), word.c_str());
        return ParseResult::Error;
      }
      out->switches.push_back(rule->name);
      continue;
    }
    std::string value;
    if (eq != std::string::npos) {
      value = a.substr(eq + 1);
    } else if (i + 1 < args.size() && !IsOptionWord(rules, args[i + 1])) {
      value = args[++i];
    } else {
      std::fprintf(stderr, "%s: %s needs %s\n", program.c_str(), word.c_str(), rule->valueName);
      return ParseResult::Error;
    }
    if (value.empty()) {
      std::fprintf(stderr, "%s: %s needs %s\n", program.c_str(), word.c_str(), rule->valueName);
      return ParseResult::Error;
    }
    out->values[rule->name] = value;
  }
  return ParseResult::Ok;
}

void PrintVersion(const std::string& program) { std::printf("%s %s\n", program.c_str(), VELMORA_VERSION); }
