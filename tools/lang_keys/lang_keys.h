#pragma once
// What velmora-lang-keys does, as functions the tests call too.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace langkeys {

// Where a key is used: "file:line".
using KeyUses = std::map<std::string, std::vector<std::string>>;

// The keys in one C++ source text: the string literal arguments of Translate(...),
// Tr(...), tr(...) (a translating function handed in) and TR_KEY(...) (adjacent literals joined, escapes decoded); comments,
// character literals and other strings are skipped. fileName names the uses.
void CollectKeys(const std::string& source, const std::string& fileName, KeyUses* keys);

// Every key of the sources under root: *.cpp and *.h files, leaving out the
// tests, build trees, hidden folders and this tool itself.
KeyUses CollectTree(const std::string& root);

// The keys of section "Language String" of a language file (UTF-8, or UTF-16LE
// with its byte order mark), trimmed, in file order.
std::vector<std::string> FileKeys(const std::string& path);

// Why a key can never be found in a language file, or "" when it can.
std::string KeyProblem(const std::string& key);

struct FileReport {
  std::string file;
  std::vector<std::string> missing; // used by the program, not in the file
  std::vector<std::string> unused;  // in the file, never used
};

// Checks one language file against the keys (through the profile reader the
// program itself uses).
FileReport CheckFile(const std::string& path, const KeyUses& keys);

} // namespace langkeys
