#pragma once
// The map-offset table "offset_min.bin" and the rule that picks the map offset
// (longitude, latitude corrections in degrees) for a position.
//
// File layout, little-endian, doubles in IEEE 754 double precision:
//   0   8  magic "$GPSOFF" and one zero byte
//   8   8  grid step in degrees (double)
//   16  8  index count N1 (unsigned 64-bit)
//   24  8  entry count N2 (unsigned 64-bit)
//   32     N1 index records of 32 bytes, one per longitude column, ascending keys:
//            0 double longitude key, 24 uint32 entry count, 28 int32 first entry
//   32 + 32 N1   N2 entries of 48 bytes, column after column, ascending keys:
//            0 double longitude key (not read), 8 double latitude key,
//            32 double longitude offset, 40 double latitude offset
// The file is exactly 32 + 32 N1 + 48 N2 bytes long.
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// One cell of the table, as Lookup returns it.
struct GpsOffsetEntry {
  double longitudeKey = 0;    // the column's key
  double latitudeKey = 0;
  double longitudeOffset = 0; // degrees
  double latitudeOffset = 0;  // degrees
};

class CGpsOffsetTable {
public:
  static constexpr size_t kHeaderSize = 32;
  static constexpr size_t kIndexRecordSize = 32;
  static constexpr size_t kEntrySize = 48;
  // Files longer than this are refused before anything is allocated.
  static constexpr uint64_t kMaxFileBytes = uint64_t{1} << 30;

  CGpsOffsetTable() = default;
  CGpsOffsetTable(const CGpsOffsetTable&) = delete;
  CGpsOffsetTable& operator=(const CGpsOffsetTable&) = delete;

  // Reads the whole file and checks it: at least the 32-byte header, the magic,
  // and a length of exactly 32 + 32 N1 + 48 N2 bytes (no more than
  // kMaxFileBytes). A file that fails these checks leaves an earlier table in
  // place; one that then cannot be read whole leaves the table empty. Returns
  // whether the table was loaded.
  bool Load(const std::string& path);
  // The same from an open stream (read from its start; its length is found by
  // seeking to its end). The stream is not closed.
  bool LoadFrom(std::FILE* file);

  // The cell for a position: the first column whose key is not below the
  // position's column probe (within one grid step), then the first cell of that
  // column whose key is not below the latitude probe (within one step plus
  // 0.00000005). None when nothing is loaded, the step is 0, or the column's
  // index record points outside the entry table.
  std::optional<GpsOffsetEntry> Lookup(double longitude, double latitude) const;

  bool Loaded() const;
  double Step() const;
  uint64_t IndexCount() const;
  uint64_t EntryCount() const;
  // The header's 32 bytes exactly as read (zeros while nothing is loaded).
  std::array<unsigned char, kHeaderSize> Header() const;
  void Clear();

private:
  void ClearLocked();

  mutable std::mutex mutex_;
  std::array<unsigned char, kHeaderSize> header_{};
  std::unique_ptr<unsigned char[]> data_;
  uint64_t dataSize_ = 0;
  bool loaded_ = false;
  double step_ = 0;
  uint64_t indexCount_ = 0;
  uint64_t entryCount_ = 0;
};

// The table of this process, empty until start-up loads it.
CGpsOffsetTable& GpsOffsetTable();

// A cell to write into a table file: its keys (the cell's corner nearest to
// 0, 0; rounded to the nearest multiple of the step) and its offsets.
struct GpsOffsetCell {
  double longitude = 0;
  double latitude = 0;
  double longitudeOffset = 0;
  double latitudeOffset = 0;
};

// The bytes of a table file holding the cells (a later cell with the same keys
// replaces an earlier one). Keys are written as step x an integer, the same
// product the lookup computes. Returns false with a reason when the step is
// not a positive finite number, a key is out of range, or a column's first
// entry would not fit in 32 bits.
bool EncodeGpsOffsetTable(double step, const std::vector<GpsOffsetCell>& cells, std::string& bytes,
                          std::string* error = nullptr);

// A map offset in degrees.
struct MapOffset {
  double longitude = 0;
  double latitude = 0;
};

// How the map offset is chosen: from the table ("GPS_Offset_Auto" = 1), or the
// fixed offsets (longitude from "GPS_Offset_Y", latitude from "GPS_Offset_X").
struct MapOffsetChoice {
  bool automatic = true;
  MapOffset fixed;
};

// The map offset for a position: when automatic, the table's cell for the
// position, or 0, 0 when it has none; otherwise the fixed offsets.
MapOffset MapOffsetFor(double longitude, double latitude, const MapOffsetChoice& choice,
                       const CGpsOffsetTable& table = GpsOffsetTable());

// Start-up's load: when automatic, loads the table file at path into
// GpsOffsetTable(). Returns whether a table was loaded.
bool LoadGpsOffsetTableAtStartUp(bool automatic, const std::string& path);
