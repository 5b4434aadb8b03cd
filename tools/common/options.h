#pragma once
// Command-line options as the project's programs take them: long options
// ("--from VALUE" or "--from=VALUE"), a few one-letter aliases, operands, and
// "--" ending the options. --help, -h and --version are known to every program.
#include <map>
#include <string>
#include <vector>

struct OptionRule {
  const char* name;      // "--from"
  const char* alias;     // "-y", or nullptr
  const char* valueName; // what the value is ("FILE:BYTE"), or nullptr for a switch
};

struct ParsedOptions {
  std::map<std::string, std::string> values; // by long name: the last value given
  std::vector<std::string> switches;         // long names of the switches given
  std::vector<std::string> operands;

  bool Has(const std::string& name) const;
  std::string Value(const std::string& name) const;
};

enum class ParseResult { Ok, Help, Version, Error };

// Reads args against the rules. Errors are printed on standard error as
// "PROGRAM: --from needs FILE:BYTE" or "PROGRAM: unknown option '--x'", with a
// pointer to --help. Help and Version print nothing: the caller prints them.
ParseResult ParseOptions(const std::string& program, const std::vector<OptionRule>& rules,
                         const std::vector<std::string>& args, ParsedOptions* out);

// "PROGRAM 1.0.0.71" on standard output.
void PrintVersion(const std::string& program);
