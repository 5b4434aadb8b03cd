// velmora-cli list and export, run as built.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "tests/export/export_fixture.h"
#include "tests/support/test_support.h"

using namespace exporttest;
using testsupport::BinDir;
using testsupport::ReadFile;

using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

std::string Cli(const std::string& args) { return "'" + BinDir() + "velmora-cli' " + args; }

// Every file under the folders, by path, with a hash of its bytes.
std::map<std::string, size_t> Snapshot(const std::vector<std::string>& folders) {
  std::map<std::string, size_t> files;
  for (const auto& folder : folders)
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.is_regular_file()) files[e.path().string()] = std::hash<std::string>{}(ReadFile(e.path().string()));
  return files;
}

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

TEST(Cli, ExportsAStretchAndSaysWhatItSaved) {
  const auto& recs = Recordings();
  const std::string& rec = recs[0];
  TempDir dir;
  const std::string out = dir / "segment.nts";
  std::string printed;
  ASSERT_EQ(testsupport::Run(Cli("export --from '" + rec + ":100000' --to '" + rec + ":500000' '" + out + "'"), &printed), 0);
  EXPECT_EQ(printed.rfind("Saved ", 0), 0u) << printed;
  EXPECT_NE(printed.find(" s (1 recording) to " + out + "\n"), std::string::npos) << printed;
  EXPECT_TRUE(ReadFile(out) == Slice(rec, 0, 376) + Slice(rec, 98304, 499712));

  // Two recordings and a half as AVI: 25 seconds from the first key frame, give or take a group.
  const std::string avi = dir / "two.AVI";
  ASSERT_EQ(testsupport::Run(Cli("export --from '" + recs[1] + ":0' --to '" + recs[3] + ":" +
                                 std::to_string(SizeOf(recs[3]) / 2) + "' '" + avi + "'"),
                             &printed),
            0);
  EXPECT_NE(printed.find(" s (3 recordings) to " + avi + "\n"), std::string::npos) << printed;
  const double seconds = std::stod(printed.substr(6));
  EXPECT_GT(seconds, 23.5) << printed;
  EXPECT_LT(seconds, 25.5) << printed;

  // --overwrite replaces an earlier export of the user's.
  testsupport::WriteFile(dir / "old.nts", "an earlier export");
  ASSERT_EQ(testsupport::Run(Cli("export -y --from '" + rec + ":100000' --to '" + rec + ":500000' '" + (dir / "old.nts") + "'")), 0);
  EXPECT_TRUE(ReadFile(dir / "old.nts") == ReadFile(out));
  EXPECT_EQ(testsupport::SortedFiles(dir.path()).size(), 3u); // nothing left aside
}

TEST(Cli, ExportRefusalsLeaveEveryFileAsItWas) {
  // A card of copies, so that a refusal that fails cannot harm the shared recordings.
  TempDir dir;
  const std::string media = dir / "card/DCIM/100MEDIA";
  fs::create_directories(media);
  std::vector<std::string> recs;
  for (int i = 0; i < 3; ++i) {
    recs.push_back(media + "/" + fs::path(Recordings()[static_cast<size_t>(i)]).filename().string());
    fs::copy_file(Recordings()[static_cast<size_t>(i)], recs.back());
  }
  fs::copy_file(recs[0], media + "/clip.ts"); // a recording without a number
  const std::string out = dir / "out";
  fs::create_directories(out);
  testsupport::WriteFile(out + "/taken.nts", "an earlier export");
  const std::string size = std::to_string(SizeOf(recs[0]));
  const std::string from = " --from '" + recs[0] + ":0'", to = " --to '" + recs[0] + ":100000'";
  struct Case {
    const char* what;
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {"an existing output", from + to + " '" + out + "/taken.nts'", 1, "taken.nts exists; give --overwrite (-y)"},
      {"a recording outside the stretch", from + to + " '" + recs[1] + "'", 1, "is a recording"},
      {"a recording outside the stretch, asked to", from + to + " --overwrite '" + recs[1] + "'", 1,
       "recordings are never replaced"},
      {"a recording of the stretch, asked to", from + to + " -y '" + recs[0] + "'", 1, "is a recording"},
      {"a byte past the end", from + " --to '" + recs[0] + ":99999999' '" + out + "/a.nts'", 2,
       "--to: byte 99999999 lies past the end of " + recs[0] + " (" + size + " bytes)"},
      {"an unknown extension", from + to + " '" + out + "/a.mp4'", 2,
       "unknown output type; name it .nts or .ts (the recorded stream) or .avi"},
      {"a missing option value", to + " '" + out + "/a.nts' --from", 2, "--from needs FILE:BYTE"},
      {"an option with its value missing before another", " --from" + to + " '" + out + "/a.nts'", 2,
       "--from needs FILE:BYTE"},
      {"an unknown option", from + to + " --frm 3 '" + out + "/a.nts'", 2, "unknown option '--frm'"},
      {"an empty stretch", " --from '" + recs[0] + ":100' --to '" + recs[0] + ":200' '" + out + "/a.nts'", 1,
       "the stretch is empty"},
      {"from a recording without a number to another", " --from '" + media + "/clip.ts:0'" + " --to '" + recs[1] +
       ":100000' '" + out + "/a.nts'", 2, "clip.ts has no number"},
      {"marks out of order", " --from '" + recs[1] + ":0'" + to + " '" + out + "/a.nts'", 2, "the stretch is empty"},
  };
  const auto before = Snapshot({dir.path()});
  for (const auto& c : cases) {
    std::string err;
    const int status = testsupport::Run(Cli("export" + c.args + " 2>&1 >/dev/null"), &err);
    EXPECT_EQ(status, c.status) << c.what << ": " << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n') <= 2, true) << c.what << ": " << err;
    EXPECT_TRUE(Snapshot({dir.path()}) == before) << c.what;
  }
}

TEST(Cli, EveryCommandAnswersHelpAndVersion) {
  for (const std::string command : {"", "list ", "export ", "telemetry ", "camera "}) {
    std::string out;
    EXPECT_EQ(testsupport::Run(Cli(command + "--help"), &out), 0) << command;
    EXPECT_EQ(out.rfind("Usage: velmora-cli " + command, 0), 0u) << out;
    EXPECT_EQ(testsupport::Run(Cli(command + "-h"), &out), 0) << command;
    EXPECT_EQ(testsupport::Run(Cli(command + "--version"), &out), 0) << command;
    EXPECT_EQ(out, "velmora-cli 1.0.0.71\n");
  }
  std::string err;
  EXPECT_EQ(testsupport::Run(Cli("frobnicate 2>&1"), &err), 2);
  EXPECT_NE(err.find("unknown command 'frobnicate'"), std::string::npos) << err;
}

} // namespace
