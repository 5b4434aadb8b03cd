// velmora-lang-keys: checks the language files against the keys the program
// passes to Translate, read from its sources.
//   velmora-lang-keys SOURCE-ROOT LANGUAGE-FOLDER   report; status 1 on a missing key
//   velmora-lang-keys --list SOURCE-ROOT            every key, one a line
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/lang_keys/lang_keys.h"

namespace {

int Usage() {
  std::fputs("Usage: velmora-lang-keys SOURCE-ROOT LANGUAGE-FOLDER\n"
             "       velmora-lang-keys --list SOURCE-ROOT\n"
             "Reports each key the program translates that a language file lacks (status 1),\n"
             "each key a file holds that the program never uses, and keys no file can hold.\n",
             stderr);
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--list") == 0) {
    for (const auto& [key, uses] : langkeys::CollectTree(argv[2])) std::printf("%s\n", key.c_str());
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-') return Usage();
  const langkeys::KeyUses keys = langkeys::CollectTree(argv[1]);
  if (keys.empty()) {
    std::fprintf(stderr, "velmora-lang-keys: no Translate key found under %s\n", argv[1]);
    return 1;
  }
  bool failed = false;
  for (const auto& [key, uses] : keys) {
    if (const std::string why = langkeys::KeyProblem(key); !why.empty()) {
      std::printf("%s: key \"%s\" %s: no language file can hold it\n", uses[0].c_str(), key.c_str(), why.c_str());
      failed = true;
    }
  }
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(argv[2]))
    if (e.path().extension() == ".ini") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  if (std::find_if(files.begin(), files.end(), [](const auto& p) { return p.filename() == "en_US.ini"; }) == files.end()) {
    std::printf("%s: en_US.ini is missing\n", argv[2]);
    failed = true;
  }
  for (const auto& f : files) {
    const langkeys::FileReport r = langkeys::CheckFile(f.string(), keys);
    const std::string name = f.filename().string();
    for (const std::string& k : r.missing)
      std::printf("%s: missing \"%s\" (used at %s)\n", name.c_str(), k.c_str(), keys.at(k)[0].c_str());
    for (const std::string& k : r.unused) std::printf("%s: unused \"%s\"\n", name.c_str(), k.c_str());
    failed = failed || !r.missing.empty();
  }
  std::printf("%zu keys, %zu language files: %s\n", keys.size(), files.size(), failed ? "FAILED" : "every key present");
  return failed ? 1 : 0;
}
