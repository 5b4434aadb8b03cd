#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cmath>
#include <cstdlib>

#include "platform/event.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(AutoResetEvent, SignalIsTakenByOneWaitOnly) {
  platform::AutoResetEvent ev;
  EXPECT_FALSE(ev.Wait(0));
  ev.Set();
  ev.Set(); // not counted: still one signal
  EXPECT_TRUE(ev.Wait(1000));
  EXPECT_FALSE(ev.Wait(10));
}

TEST(Wildcard, MatchesLikeTheCardsFileSystem) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.ts", "20240101_120000_0001.ts", true},
      {"*.ts", "CLIP_0001.TS", true},
      {"*.ts", "a.nts", false},
      {"*.ts", "a.ts.part", false},
      {"*124.ts", "x_0124.ts", true},
      {"*124.ts", "x_1124.ts", true},
      {"*124.ts", "x_0125.ts", false},
      {"?.ini", "a.ini", true},
      {"?.ini", "ab.ini", false},
      {"*.*", "noext", true},
      {"*MEDIA", "100MEDIA", true},
      {"*MEDIA", "100media", true},
      {"*MEDIA", "MEDIA1", false},
      {"", "", true},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

TEST(FindFiles, ReportsPathFlagsAndTime) {
  TempDir dir;
  WriteFile(dir / "rec_0001.TS", "x");
  WriteFile(dir / "rec_0002.ts", "yy");
  WriteFile(dir / "notes.txt", "");
  ::mkdir((dir / "sub.ts").c_str(), 0755);
  ::chmod((dir / "rec_0002.ts").c_str(), 0444);
  struct utimbuf t {1700000000, 1700000123};
  ::utime((dir / "rec_0001.TS").c_str(), &t);

  auto found = platform::FindFiles(dir.path() + "/*.ts");
  ASSERT_EQ(found.size(), 3u);
  for (const auto& f : found) {
    EXPECT_EQ(f.path, dir.path() + "/" + f.name);
    EXPECT_EQ(f.isDirectory, f.name == "sub.ts");
    EXPECT_EQ(f.readOnly, f.name == "rec_0002.ts");
    if (f.name == "rec_0001.TS") {
      EXPECT_EQ(f.lastWriteTime, 1700000123);
    }
  }
  // Either separator splits folder and pattern.
  EXPECT_EQ(platform::FindFiles(dir.path() + "\\*.txt").size(), 1u);
  EXPECT_TRUE(platform::FindFiles(dir.path() + "/missing/*.ts").empty());
}

TEST(EnsureFolderFor, CreatesEveryMissingLevel) {
  TempDir dir;
  EXPECT_TRUE(platform::EnsureFolderFor(dir / "a/b\\c/shot.bmp"));
  struct stat st {};
  EXPECT_EQ(::stat((dir / "a/b/c").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_TRUE(platform::EnsureFolderFor("name.bmp"));
  EXPECT_TRUE(platform::EnsureFolderFor("/name.bmp"));
  WriteFile(dir / "file", "");
  EXPECT_FALSE(platform::EnsureFolderFor(dir / "file/sub/x.bmp")); // a file is in the way
}

TEST(ResourceFolder, BesideTheProgramElseInTheSharedFolderOfItsPrefix) {
  TempDir dir;
  // An installed copy: prefix/bin and prefix/share/velmora/Language.
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "usr/bin/velmora"));
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "usr/share/velmora/Language/en_US.ini"));
  EXPECT_EQ(platform::ResourceFolder(dir / "usr/bin/"), dir / "usr/share/velmora/");
  EXPECT_EQ(platform::ResourceFolder(dir / "usr/bin"), dir / "usr/share/velmora/");
  // Resources beside the program win (a build tree or a copy in one folder).
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "usr/bin/Language/en_US.ini"));
  EXPECT_EQ(platform::ResourceFolder(dir / "usr/bin/"), dir / "usr/bin/");
  // Neither: the program folder, where the program reports what is missing.
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "opt/bin/x"));
  EXPECT_EQ(platform::ResourceFolder(dir / "opt/bin/"), dir / "opt/bin/");
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "opt/share/x"));
  WriteFile(dir / "opt/share/velmora", ""); // a file where the folder should be
  EXPECT_EQ(platform::ResourceFolder(dir / "opt/bin/"), dir / "opt/bin/");
}

TEST(RemovableRoots, ExtraRootsFromTheEnvironmentComeFirst) {
  ::setenv("VELMORA_REMOVABLE_ROOTS", "/tmp/cardA:/tmp/cardB/", 1);
  auto roots = platform::RemovableRoots();
  ::unsetenv("VELMORA_REMOVABLE_ROOTS");
  ASSERT_GE(roots.size(), 2u);
  EXPECT_EQ(roots[0], "/tmp/cardA/");
  EXPECT_EQ(roots[1], "/tmp/cardB/");
}

TEST(Text, DecimalReadingIgnoresLocaleAndStopsAtTheEnd) {
  struct Case {
    std::string_view text;
    double value;
    size_t used;
  } cases[] = {
      {"121.5", 121.5, 5},   {"  -0.0052x", -0.0052, 9}, {"+3e2", 300, 4}, {"abc", 0, 0},
      {"", 0, 0},            {"1.5", 1.5, 3},            {"12", 12, 2}, {"--5", 0, 0}, {"1e999", HUGE_VAL, 5},
  };
  for (const auto& c : cases) {
    size_t used = 99;
    EXPECT_DOUBLE_EQ(platform::ParseDecimalPrefix(c.text, &used), c.value) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
  }
  // A view that ends inside a longer buffer is not read past.
  std::string_view cut("12345", 2);
  EXPECT_DOUBLE_EQ(platform::ParseDecimalPrefix(cut), 12);
  EXPECT_EQ(platform::FormatFixed6(121.5), "121.500000");
  EXPECT_EQ(platform::TruncateUtf8("é€x", 2), "é€");
}

namespace {

std::string Utf16File(const std::string& utf8) { return "\xFF\xFE" + platform::Utf8ToUtf16Le(utf8); }

} // namespace

TEST(Profile, ReadsWithWindowsSemantics) {
  const std::string text =
      "; settings\r\n"
      "[Other]\r\nKey=other\r\n"
      "[ config ]\r\n"
      "  UIMode = 2  \r\n"
      "uimode=1\r\n"
      "Quoted=\"a b\"\r\n"
      "Empty=\r\n"
      "NoEquals\r\n"
      "Hex=0x1F\r\n"
      "Neg=-7\r\n"
      "Junk=abc\r\n"
      "Lead=12abc\r\n"
      "Name=Gr\xC3\xBC\xC3\x9F" "e\r\n"
      "[Config]\r\nLater=1\r\n";
  TempDir dir;
  for (const std::string& bytes : {text, Utf16File(text)}) {
    std::string path = dir / "c.ini";
    WriteFile(path, bytes);
    EXPECT_EQ(platform::ProfileGetInt(path, "CONFIG", "uimode", -1), 2);
    EXPECT_EQ(platform::ProfileGetString(path, "Config", "Quoted", "d"), "a b");
    EXPECT_EQ(platform::ProfileGetString(path, "Config", "Empty", "d"), "d");
    EXPECT_EQ(platform::ProfileGetString(path, "Config", "NoEquals", "d"), "d");
    EXPECT_EQ(platform::ProfileGetString(path, "Config", "Key", "d"), "d"); // other section
    EXPECT_EQ(platform::ProfileGetString(path, "Config", "Later", "d"), "d"); // first section wins
    EXPECT_EQ(platform::ProfileGetString(path, "Config", "Name", ""), "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(platform::ProfileGetInt(path, "Config", "Hex", 0), 31);
    EXPECT_EQ(platform::ProfileGetInt(path, "Config", "Neg", 0), -7);
    EXPECT_EQ(platform::ProfileGetInt(path, "Config", "Junk", 5), 0);
    EXPECT_EQ(platform::ProfileGetInt(path, "Config", "Lead", 5), 12);
    EXPECT_EQ(platform::ProfileGetInt(path, "Config", "Missing", 5), 5);
  }
  EXPECT_EQ(platform::ProfileGetInt(dir / "none.ini", "Config", "UIMode", 9), 9);
}

TEST(Profile, WritingKeepsEveryOtherLineAndTheEncoding) {
  TempDir dir;
  std::string path = dir / "c.ini";
  const std::string before = "; comment\n[A]\nx=1\n\n[Config]\nUIMode=0\n; note\n\n[B]\ny=2\n";
  WriteFile(path, before);
  ASSERT_TRUE(platform::ProfileWriteString(path, "config", "uimode", "2"));
  ASSERT_TRUE(platform::ProfileWriteString(path, "Config", "New", "v"));
  ASSERT_TRUE(platform::ProfileWriteString(path, "C", "k", "line\nbreak"));
  EXPECT_EQ(ReadFile(path),
            "; comment\n[A]\nx=1\n\n[Config]\nUIMode=2\n; note\nNew=v\n\n[B]\ny=2\n[C]\nk=line break\n");

  std::string wide = dir / "w.ini";
  WriteFile(wide, Utf16File("[Config]\r\nA=1\r\n"));
  ASSERT_TRUE(platform::ProfileWriteString(wide, "Config", "B", "\xC3\xA9"));
  EXPECT_EQ(ReadFile(wide), Utf16File("[Config]\r\nA=1\r\nB=\xC3\xA9\r\n"));

  std::string fresh = dir / "new.ini";
  ASSERT_TRUE(platform::ProfileWriteString(fresh, "Config", "K", "V"));
  EXPECT_EQ(ReadFile(fresh), "[Config]\r\nK=V\r\n");
}

TEST(Profile, FailedWritesLoseNothing) {
  TempDir dir;
  EXPECT_FALSE(platform::ProfileWriteString(dir / "missing/c.ini", "Config", "K", "V"));
  // A file too large to be a settings file is neither read nor rewritten.
  std::string huge = dir / "huge.ini";
  std::string content = "[Config]\nK=1\n" + std::string(platform::kProfileMaxBytes, 'x');
  WriteFile(huge, content);
  EXPECT_EQ(platform::ProfileGetInt(huge, "Config", "K", 7), 7);
  EXPECT_FALSE(platform::ProfileWriteString(huge, "Config", "K", "2"));
  EXPECT_EQ(ReadFile(huge).size(), content.size());
  // Binary junk reads as missing keys and can still be written to.
  std::string junk = dir / "junk.ini";
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 7919) & 0xFF);
  WriteFile(junk, bytes);
  EXPECT_EQ(platform::ProfileGetInt(junk, "Config", "K", 3), 3);
  EXPECT_TRUE(platform::ProfileWriteString(junk, "Config", "K", "4"));
  EXPECT_EQ(platform::ProfileGetInt(junk, "Config", "K", 3), 4);
}
