#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/map_offset_config.h"
#include "app/settings.h"
#include "telemetry/gps_offset.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

void PutU64(std::string& bytes, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}
void PutU32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}
void PutDouble(std::string& bytes, size_t at, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  PutU64(bytes, at, bits);
}

// Three columns on a 0.01-degree grid: 0 (around the prime meridian),
// 120.52 and 120.53.
std::string SampleTable() {
  std::string bytes, error;
  const std::vector<GpsOffsetCell> cells = {
      {0.00, 0.50, 0.001, 0.002},
      {120.52, 24.06, -0.0051, 0.0030},
      {120.52, 24.07, -0.0052, 0.0031},
      {120.53, 24.07, -0.0053, 0.0032},
  };
  EXPECT_TRUE(EncodeGpsOffsetTable(0.01, cells, bytes, &error)) << error;
  return bytes;
}

std::optional<GpsOffsetEntry> LookupIn(const std::string& bytes, double lon, double lat) {
  TempDir dir;
  WriteFile(dir / "offset_min.bin", bytes);
  CGpsOffsetTable table;
  if (!table.Load(dir / "offset_min.bin")) return std::nullopt;
  return table.Lookup(lon, lat);
}

TEST(OffsetTable, LookupProbes) {
  TempDir dir;
  WriteFile(dir / "offset_min.bin", SampleTable());
  CGpsOffsetTable table;
  EXPECT_FALSE(table.Lookup(120.5289, 24.0777)) << "nothing loaded";
  ASSERT_TRUE(table.Load(dir / "offset_min.bin"));
  EXPECT_EQ(table.IndexCount(), 3u);
  EXPECT_EQ(table.EntryCount(), 4u);

  struct Probe {
    double lon, lat;
    std::optional<double> lonOffset; // nullopt: no cell
  };
  const std::vector<Probe> probes = {
      {120.5289, 24.0777, -0.0052},  // column 120.52, row 24.07
      {120.5289, 24.0650, -0.0051},  // row 24.06
      {120.5301, 24.0777, -0.0053},  // column 120.53
      {-0.005, 0.505, 0.001},        // -0.5 steps truncates toward zero: column 0
      {120.5289, 24.0877, std::nullopt}, // no row at or above 24.08 in the column
      {120.5289, 24.0450, std::nullopt}, // first row above is 24.06: more than a step away
      {120.5089, 24.0777, std::nullopt}, // first column above is 120.52: more than a step away
      {121.0, 24.0777, std::nullopt},    // beyond the last column
      {1e300, 24.0777, std::nullopt},    // probe does not fit in 32 bits
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(std::to_string(p.lon) + " " + std::to_string(p.lat));
    auto entry = table.Lookup(p.lon, p.lat);
    ASSERT_EQ(entry.has_value(), p.lonOffset.has_value());
    if (entry) {
      EXPECT_DOUBLE_EQ(entry->longitudeOffset, *p.lonOffset);
    }
  }
  auto cell = table.Lookup(120.5289, 24.0777);
  ASSERT_TRUE(cell);
  EXPECT_DOUBLE_EQ(cell->latitudeOffset, 0.0031);
  EXPECT_NEAR(cell->longitudeKey, 120.52, 1e-9);
  EXPECT_NEAR(cell->latitudeKey, 24.07, 1e-9);
}

TEST(OffsetTable, RefusesShortForeignAndInconsistentFiles) {
  const std::string good = SampleTable();
  const uint64_t n1 = 3, n2 = 4;
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"empty", ""},
      {"shorter than the header", good.substr(0, 31)},
      {"one byte longer", good + '\0'},
      {"one byte shorter", good.substr(0, good.size() - 1)},
  };
  for (size_t i = 0; i < 8; ++i) {
    std::string foreign = good;
    foreign[i] = static_cast<char>(foreign[i] ^ 0x20);
    cases.push_back({"magic differs", foreign});
  }
  // Counts whose products wrap around 2^64 to the true length.
  std::string wrapIndex = good;
  PutU64(wrapIndex, 16, n1 + (uint64_t{1} << 59));
  cases.push_back({"index count wraps", wrapIndex});
  std::string wrapEntries = good;
  PutU64(wrapEntries, 24, n2 + (uint64_t{1} << 60));
  cases.push_back({"entry count wraps", wrapEntries});
  std::string swapped = good;
  PutU64(swapped, 16, n2);
  PutU64(swapped, 24, n1);
  cases.push_back({"counts do not match the length", swapped});

  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "offset_min.bin", c.bytes);
    CGpsOffsetTable table;
    EXPECT_FALSE(table.Load(dir / "offset_min.bin"));
    EXPECT_FALSE(table.Loaded());
    EXPECT_FALSE(table.Lookup(120.5289, 24.0777));
  }
  CGpsOffsetTable table;
  EXPECT_FALSE(table.Load(dir / "missing.bin"));
  EXPECT_FALSE(table.Load(dir.path()));

  // A header and nothing else is a consistent, empty table.
  WriteFile(dir / "empty.bin", std::string("$GPSOFF\0", 8) + std::string(24, '\0'));
  EXPECT_TRUE(table.Load(dir / "empty.bin"));
  EXPECT_FALSE(table.Lookup(0, 0));
}

TEST(OffsetTable, IndexRecordsPointingOutsideTheEntriesMatchNothing) {
  const std::string good = SampleTable();
  // Column 120.52 is the second index record; it holds entries 1 and 2 of 4.
  const size_t record = 32 + 32;
  struct Case {
    const char* name;
    uint32_t count;
    int32_t first;
    bool found;
  };
  const std::vector<Case> cases = {
      {"as written", 2, 1, true},
      {"negative first entry", 2, -1, false},
      {"first entry past the end", 1, 4, false},
      {"count runs past the end", 4, 1, false},
      {"huge count", 0xFFFFFFFFu, 1, false},
      {"most negative first entry", 2, INT32_MIN, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = good;
    PutU32(bytes, record + 24, c.count);
    PutU32(bytes, record + 28, static_cast<uint32_t>(c.first));
    EXPECT_EQ(LookupIn(bytes, 120.5289, 24.0777).has_value(), c.found);
  }
  // A step of 0 matches nothing; a tiny step makes every probe too large.
  std::string zeroStep = good;
  PutDouble(zeroStep, 8, 0);
  EXPECT_FALSE(LookupIn(zeroStep, 120.5289, 24.0777));
  std::string tinyStep = good;
  PutDouble(tinyStep, 8, 1e-300);
  EXPECT_FALSE(LookupIn(tinyStep, 120.5289, 24.0777));
}

TEST(OffsetTableTool, WritesTablesAndRefusesBadLists) {
  TempDir dir;
  const std::string tool = testsupport::BinDir() + "velmora-offset-table";
  WriteFile(dir / "cells.txt",
            "# a comment\n"
            "step 0.01\n"
            "fill -73.99 40.74 -73.98 40.75 0.0001 -0.0002\n"
            "-73.98 40.75 0.0005 -0.0006   # replaces the filled cell\n");
  ASSERT_EQ(testsupport::Run("'" + tool + "' '" + (dir / "t.bin") + "' '" + (dir / "cells.txt") + "'"), 0);
  CGpsOffsetTable table;
  ASSERT_TRUE(table.Load(dir / "t.bin"));
  EXPECT_EQ(table.IndexCount(), 2u);
  EXPECT_EQ(table.EntryCount(), 4u);
  // West of 0, the cell's key is its corner nearest to 0.
  auto replaced = table.Lookup(-73.9851, 40.7589);
  ASSERT_TRUE(replaced);
  EXPECT_DOUBLE_EQ(replaced->longitudeOffset, 0.0005);
  auto filled = table.Lookup(-73.9901, 40.7489);
  ASSERT_TRUE(filled);
  EXPECT_DOUBLE_EQ(filled->latitudeOffset, -0.0002);

  // From standard input, too.
  ASSERT_EQ(testsupport::Run("printf 'step 0.5\\n1 2 3 4\\n' | '" + tool + "' '" + (dir / "s.bin") + "'"), 0);
  ASSERT_TRUE(table.Load(dir / "s.bin"));
  EXPECT_EQ(table.Step(), 0.5);

  for (const char* bad : {"1 2 3 4\n", "step 0\n", "step 0.01\n1 2 3\n", "step 0.01\n1 2 3 x\n",
                                 "step 0.01\nfill 0 0 100 100 0 0\n"}) {
    SCOPED_TRACE(bad);
    WriteFile(dir / "bad.txt", bad);
    EXPECT_NE(testsupport::Run("'" + tool + "' '" + (dir / "bad.bin") + "' '" + (dir / "bad.txt") + "' 2>/dev/null"),
              0);
  }
}

TEST(OffsetTableTool, DemoTableBesideThePrograms) {
  CGpsOffsetTable table;
  ASSERT_TRUE(table.Load(testsupport::BinDir() + "offset_min.bin"));
  auto home = table.Lookup(120.528903, 24.077715);
  ASSERT_TRUE(home);
  EXPECT_DOUBLE_EQ(home->longitudeOffset, -0.0052);
  EXPECT_DOUBLE_EQ(home->latitudeOffset, 0.0031);
  EXPECT_TRUE(table.Lookup(120.65, 24.15));
  EXPECT_FALSE(table.Lookup(121.5, 25.03));
}

class MapOffsets : public ::testing::Test {
protected:
  void SetUp() override {
    ResetSettings(dir_.path());
    WriteFile(dir_ / "t.bin", SampleTable());
    ASSERT_TRUE(table_.Load(dir_ / "t.bin"));
  }
  void Config(const std::string& lines) { WriteFile(dir_ / "Config.ini", "[Config]\n" + lines); }

  TempDir dir_;
  CGpsOffsetTable table_;
};

TEST_F(MapOffsets, TableOrFixedValuesReadEachTime) {
  // No Config.ini: automatic, from the table.
  MapOffset a = MapOffsetFor(120.5289, 24.0777, ReadMapOffsetChoice(), table_);
  EXPECT_DOUBLE_EQ(a.longitude, -0.0052);
  EXPECT_DOUBLE_EQ(a.latitude, 0.0031);
  MapOffset none = MapOffsetFor(10, 10, ReadMapOffsetChoice(), table_);
  EXPECT_EQ(none.longitude, 0);
  EXPECT_EQ(none.latitude, 0);

  // Fixed values: X goes to latitude, Y to longitude.
  Config("GPS_Offset_Auto=0\nGPS_Offset_X=0.0031\nGPS_Offset_Y=-0.0052\n");
  for (auto [lon, lat] : {std::pair{120.5289, 24.0777}, std::pair{-3.7, 40.4}}) {
    MapOffset m = MapOffsetFor(lon, lat, ReadMapOffsetChoice(), table_);
    EXPECT_DOUBLE_EQ(m.latitude, 0.0031);
    EXPECT_DOUBLE_EQ(m.longitude, -0.0052);
  }
  Config("GPS_Offset_Auto=0\nGPS_Offset_X=\n");
  MapOffset empty = MapOffsetFor(120.5289, 24.0777, ReadMapOffsetChoice(), table_);
  EXPECT_EQ(empty.longitude, 0);
  EXPECT_EQ(empty.latitude, 0);

  // Back to automatic without a restart; an empty table gives 0, 0.
  Config("GPS_Offset_Auto=1\nGPS_Offset_X=5\n");
  EXPECT_DOUBLE_EQ(MapOffsetFor(120.5289, 24.0777, ReadMapOffsetChoice(), table_).longitude, -0.0052);
  CGpsOffsetTable unloaded;
  EXPECT_EQ(MapOffsetFor(120.5289, 24.0777, ReadMapOffsetChoice(), unloaded).longitude, 0);
}

TEST_F(MapOffsets, StartUpLoadsTheTableOnlyWhenAutomatic) {
  WriteFile(dir_ / "offset_min.bin", SampleTable());
  Config("GPS_Offset_Auto=0\n");
  GpsOffsetTable().Clear();
  EXPECT_FALSE(LoadMapOffsetTable());
  EXPECT_FALSE(GpsOffsetTable().Loaded());
  Config("GPS_Offset_Auto=1\n");
  EXPECT_TRUE(LoadMapOffsetTable());
  EXPECT_TRUE(GpsOffsetTable().Lookup(120.5289, 24.0777));
  GpsOffsetTable().Clear();
}

} // namespace
