// velmora-cli list and export, run as built.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/export/export_fixture.h"
#include "tests/support/test_support.h"

using namespace exporttest;
using testsupport::BinDir;
using testsupport::ReadFile;

using testsupport::TempDir;

namespace {

std::string Cli(const std::string& args) { return "'" + BinDir() + "velmora-cli' " + args; }

TEST(Cli, ListsTheRecordingsOfAFolder) {
  const auto& recs = Recordings();
  const std::string folder = std::filesystem::path(recs[0]).parent_path().string();
  std::string out;
  ASSERT_EQ(testsupport::Run(Cli("list '" + folder + "'"), &out), 0);
  std::istringstream lines(out);
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 5u) << out;
  EXPECT_EQ(rows[0].rfind("NUMBER", 0), 0u) << rows[0];
  for (size_t i = 0; i < 4; ++i) {
    std::istringstream row(rows[i + 1]);
    std::string number, startDay, startTime, endDay, endTime, duration, readOnly, path;
    row >> number >> startDay >> startTime >> endDay >> endTime >> duration >> readOnly >> path;
    EXPECT_EQ(number, std::to_string(i + 1));
    EXPECT_EQ(duration, "0:00:09"); // the last time stamp of a 10-second recording
    EXPECT_EQ(readOnly, "no");
    EXPECT_EQ(std::filesystem::canonical(path).string(), recs[i]);
  }
  EXPECT_NE(testsupport::Run(Cli("list '" + folder + "/no-such-folder' 2>/dev/null")), 0);
}

TEST(Cli, ExportsAStretchAndRefusesWhatItCannotSave) {
  const std::string& rec = Recordings()[0];
  TempDir dir;
  const std::string out = dir / "segment.nts";
  std::string printed;
  ASSERT_EQ(testsupport::Run(Cli("export --from '" + rec + ":100000' --to '" + rec + ":500000' '" + out + "'"), &printed), 0);
  EXPECT_EQ(printed, out + " Finish Backup\n");
  EXPECT_TRUE(ReadFile(out) == Slice(rec, 0, 376) + Slice(rec, 98304, 499712));

  const std::string reversed = dir / "reversed.nts";
  EXPECT_EQ(testsupport::Run(Cli("export --from '" + rec + ":500000' --to '" + rec + ":100000' '" + reversed + "' 2>/dev/null")), 2);
  EXPECT_FALSE(std::filesystem::exists(reversed));
  const std::string before = ReadFile(rec);
  EXPECT_EQ(testsupport::Run(Cli("export --from '" + rec + ":0' --to '" + rec + ":500000' '" + rec + "' 2>/dev/null")), 1);
  EXPECT_TRUE(ReadFile(rec) == before);
  EXPECT_EQ(testsupport::Run(Cli("export --from '" + rec + "' --to '" + rec + ":5' '" + out + "' 2>/dev/null")), 2);
}

} // namespace
