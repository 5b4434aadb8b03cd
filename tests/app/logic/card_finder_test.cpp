// One rule finds a card's recordings; the command line names a recording.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/logic/card_finder.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  WriteFile(path, "");
}

} // namespace

TEST(CardFinder, FirstMediaFolderByNameThatHoldsRecordings) {
  TempDir dir;
  const std::string empty = dir / "empty", two = dir / "two", none = dir / "none";
  // A card whose only media folder holds no recording counts as no card.
  fs::create_directories(empty + "/DCIM/100MEDIA");
  Touch(empty + "/DCIM/100MEDIA/notes.txt");
  // Made in reverse order: the names decide, not the directory's order.
  Touch(two + "/DCIM/102MEDIA/20240601_080000_0001.ts");
  Touch(two + "/DCIM/101MEDIA/20240601_070000_0001.TS");
  fs::create_directories(two + "/DCIM/100MEDIA/sub.ts"); // a folder is no recording
  Touch(two + "/DCIM/099PHOTO/a_1.ts");
  fs::create_directories(none);

  EXPECT_EQ(FindCardFolder({empty}), "");
  EXPECT_EQ(FindCardFolder({none, empty, two + "/"}), two + "/DCIM/101MEDIA/");
  EXPECT_EQ(FindCardFolder({}), "");
}

TEST(CardFinder, CardRecordingsInNumberOrder) {
  TempDir dir;
  const std::string media = dir / "DCIM/100MEDIA/";
  for (const char* name : {"20240601_080200_0003.ts", "20240601_080000_0001.ts", "20240601_080100_0002.ts"})
    Touch(media + name);
  const auto list = CardRecordings(media);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].number, 1);
  EXPECT_EQ(list[0].path, media + "20240601_080000_0001.ts");
  EXPECT_EQ(list[2].number, 3);
  EXPECT_TRUE(CardRecordings(dir / "nothing/").empty());
}

TEST(CommandLine, ArgumentsNameTheStartRecording) {
  TempDir dir;
  const std::string quoted = dir / "a \"b\" c_0001.ts";
  Touch(quoted);
  const std::string spaced = dir / "my card_0002.ts";
  Touch(spaced);
  struct Case {
    std::vector<std::string> args;
    std::string want;
  };
  const Case cases[] = {
      {{}, ""},
      {{quoted}, quoted},                                 // an existing file, '"' and all
      {{"\"" + spaced + "\""}, spaced},                   // quotes around a path
      {{dir / "my", "card_0002.ts"}, spaced},             // split by the shell
      {{"file://" + dir.path() + "/my%20card_0002.ts"}, spaced},
      {{"file://localhost" + spaced}, spaced},
      {{"file://elsewhere/x.ts"}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(StartFileFromArguments(c.args), c.want);
}
