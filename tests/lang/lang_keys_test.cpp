#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_support.h"
#include "tools/lang_keys/lang_keys.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::vector<std::string> Keys(const std::string& source) {
  langkeys::KeyUses uses;
  langkeys::CollectKeys(source, "f.cpp", &uses);
  std::vector<std::string> keys;
  for (const auto& [k, where] : uses) keys.push_back(k);
  return keys;
}

} // namespace

TEST(LangKeys, CollectsTheLiteralArgumentsOfTheTranslatingCalls) {
  struct Case {
    const char* source;
    std::vector<std::string> keys;
  } cases[] = {
      {"x = Translate(\"Open File\");", {"Open File"}},
      {"Tr( \"Set\" ) + Tr(\"Clear\")", {"Clear", "Set"}},
      {"return end.subject + \" \" + tr(\"is missing\");", {"is missing"}},
      {"{1, TR_KEY(\"Level 1\")}, {2, TR_KEY(\"Level \" \"2\")}", {"Level 1", "Level 2"}},
      {"Translate(\"Say \\\"yes\\\"\\n\")", {"Say \"yes\"\n"}},
      {"Translate(u8\"Über\")", {"Über"}},
      // Not keys: a variable, a comment, a string elsewhere, a literal joined to more.
      {"Translate(b.tooltip); Tr(kNotFound)", {}},
      {"// Translate(\"comment\")\n/* Tr(\"block\") */", {}},
      {"puts(\"Translate(\\\"inside\\\")\")", {}},
      {"Translate(std::string(\"a\") + b)", {}},
      {"obj.Tr(\"member of something else\")", {}},
      {"char c = '\"'; Translate(\"after quote\")", {"after quote"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Keys(c.source), c.keys) << c.source;
  langkeys::KeyUses uses;
  langkeys::CollectKeys("\n\nTranslate(\"x\")", "a.cpp", &uses);
  EXPECT_EQ(uses["x"], std::vector<std::string>{"a.cpp:3"});
}

TEST(LangKeys, ReportsMissingAndUnusedKeysOfAFile) {
  TempDir dir;
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "src/tests/t.cpp"));
  WriteFile(dir / "src/a.cpp", "Translate(\"Tip\"); Tr(\"Open File\"); TR_KEY(\"Level 1\");");
  WriteFile(dir / "src/tests/t.cpp", "Translate(\"only in a test\");");
  WriteFile(dir / "de_DE.ini", "[Other]\nLevel 1=x\n[Language String]\r\ntip = Hinweis\r\nOld=Alt\r\n");
  const langkeys::KeyUses keys = langkeys::CollectTree(dir / "src");
  ASSERT_EQ(keys.size(), 3u); // the test folder is left out
  langkeys::FileReport r = langkeys::CheckFile(dir / "de_DE.ini", keys);
  EXPECT_EQ(r.missing, (std::vector<std::string>{"Level 1", "Open File"}));
  EXPECT_EQ(r.unused, std::vector<std::string>{"Old"});
  // UTF-16LE with its byte order mark reads the same.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[Language String]\r\nTip=A\r\nOpen File=B\r\nLevel 1=C\r\n")) utf16 += std::string{c, '\0'};
  WriteFile(dir / "jp_JP.ini", utf16);
  r = langkeys::CheckFile(dir / "jp_JP.ini", keys);
  EXPECT_TRUE(r.missing.empty());
  EXPECT_TRUE(r.unused.empty());
}

TEST(LangKeys, KeysNoFileCanHoldAreNamed) {
  EXPECT_EQ(langkeys::KeyProblem("Open File"), "");
  EXPECT_NE(langkeys::KeyProblem("a=b"), "");
  EXPECT_NE(langkeys::KeyProblem(" padded"), "");
  EXPECT_NE(langkeys::KeyProblem("[section"), "");
  EXPECT_NE(langkeys::KeyProblem(""), "");
}
