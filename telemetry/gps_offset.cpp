#include "telemetry/gps_offset.h"

#include <sys/types.h>

#include <cmath>
#include <cstring>
#include <map>
#include <new>

#include "telemetry/telemetry.h"

namespace {

constexpr char kMagic[8] = {'$', 'G', 'P', 'S', 'O', 'F', 'F', '\0'};
constexpr double kLatitudeMargin = 0.00000005;

uint64_t GetU64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
uint32_t GetU32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
int32_t GetI32(const unsigned char* p) { return static_cast<int32_t>(GetU32(p)); }
double GetDouble(const unsigned char* p) {
  uint64_t bits = GetU64(p);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

void PutU64(std::string& out, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) out[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutU32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutDouble(std::string& out, size_t at, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU64(out, at, bits);
}

// step x trunc(value / step), with trunc to a 32-bit integer toward zero.
// None when the quotient does not fit in 32 bits (or is not a number).
std::optional<double> Probe(double value, double step) {
  const double q = value / step;
  if (!(q > -2147483649.0 && q < 2147483648.0)) return std::nullopt;
  return step * static_cast<int32_t>(q);
}

// Reads exactly n bytes; false on a short read.
bool ReadAll(std::FILE* file, unsigned char* to, uint64_t n) {
  while (n > 0) {
    size_t chunk = n > (size_t{1} << 24) ? (size_t{1} << 24) : static_cast<size_t>(n);
    size_t got = std::fread(to, 1, chunk, file);
    if (got != chunk) return false;
    to += got;
    n -= got;
  }
  return true;
}

} // namespace

bool CGpsOffsetTable::Load(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (!file) return false;
  bool ok = LoadFrom(file);
  std::fclose(file);
  return ok;
}

bool CGpsOffsetTable::LoadFrom(std::FILE* file) {
  if (!file) return false;
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  const off_t length = ftello(file);
  if (length < 0 || fseeko(file, 0, SEEK_SET) != 0) return false;

  unsigned char header[kHeaderSize];
  if (static_cast<uint64_t>(length) < kHeaderSize || std::fread(header, 1, kHeaderSize, file) != kHeaderSize)
    return false;
  if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return false;

  // The counts come from the file: check them against the length without
  // letting 32 N1 + 48 N2 wrap around.
  const uint64_t dataSize = static_cast<uint64_t>(length) - kHeaderSize;
  const uint64_t n1 = GetU64(header + 16);
  const uint64_t n2 = GetU64(header + 24);
  if (static_cast<uint64_t>(length) > kMaxFileBytes) return false;
  if (n1 > dataSize / kIndexRecordSize || n2 > dataSize / kEntrySize) return false;
  if (n1 * kIndexRecordSize + n2 * kEntrySize != dataSize) return false;

  std::lock_guard lock(mutex_);
  ClearLocked();
  std::unique_ptr<unsigned char[]> data;
  if (dataSize > 0) {
    data.reset(new (std::nothrow) unsigned char[dataSize]);
    if (!data || !ReadAll(file, data.get(), dataSize)) return false;
  }
  std::memcpy(header_.data(), header, kHeaderSize);
  data_ = std::move(data);
  dataSize_ = dataSize;
  step_ = GetDouble(header + 8);
  indexCount_ = n1;
  entryCount_ = n2;
  loaded_ = true;
  return true;
}

std::optional<GpsOffsetEntry> CGpsOffsetTable::Lookup(double longitude, double latitude) const {
  std::lock_guard lock(mutex_);
  if (!loaded_ || step_ == 0) return std::nullopt;
  const double step = step_;
  const std::optional<double> xq = Probe(longitude, step);
  const std::optional<double> yq = Probe(latitude, step);
  if (!xq || !yq) return std::nullopt;

  const unsigned char* index = data_.get();
  const unsigned char* entries = index + indexCount_ * kIndexRecordSize;
  for (uint64_t i = 0; i < indexCount_; ++i) {
    const unsigned char* record = index + i * kIndexRecordSize;
    const double key = GetDouble(record);
    if (!(key >= *xq)) continue;
    if (std::fabs(key - *xq) > step) return std::nullopt;

    const uint32_t count = GetU32(record + 24);
    const int32_t first = GetI32(record + 28);
    // A record that points outside the entry table matches nothing.
    if (first < 0 || static_cast<uint64_t>(first) + count > entryCount_) return std::nullopt;
    for (uint64_t j = static_cast<uint64_t>(first); j < static_cast<uint64_t>(first) + count; ++j) {
      const unsigned char* entry = entries + j * kEntrySize;
      const double latKey = GetDouble(entry + 8);
      if (!(latKey >= *yq)) continue;
      if (std::fabs(latKey - *yq) > step + kLatitudeMargin) return std::nullopt;
      GpsOffsetEntry found;
      found.longitudeKey = key;
      found.latitudeKey = latKey;
      found.longitudeOffset = GetDouble(entry + 32);
      found.latitudeOffset = GetDouble(entry + 40);
      return found;
    }
    return std::nullopt;
  }
  return std::nullopt;
}

bool CGpsOffsetTable::Loaded() const {
  std::lock_guard lock(mutex_);
  return loaded_;
}

double CGpsOffsetTable::Step() const {
  std::lock_guard lock(mutex_);
  return step_;
}

uint64_t CGpsOffsetTable::IndexCount() const {
  std::lock_guard lock(mutex_);
  return indexCount_;
}

uint64_t CGpsOffsetTable::EntryCount() const {
  std::lock_guard lock(mutex_);
  return entryCount_;
}

std::array<unsigned char, CGpsOffsetTable::kHeaderSize> CGpsOffsetTable::Header() const {
  std::lock_guard lock(mutex_);
  return header_;
}

void CGpsOffsetTable::Clear() {
  std::lock_guard lock(mutex_);
  ClearLocked();
}

void CGpsOffsetTable::ClearLocked() {
  header_.fill(0);
  data_.reset();
  dataSize_ = 0;
  loaded_ = false;
  step_ = 0;
  indexCount_ = entryCount_ = 0;
}

CGpsOffsetTable& GpsOffsetTable() {
  static CGpsOffsetTable table;
  return table;
}

bool EncodeGpsOffsetTable(double step, const std::vector<GpsOffsetCell>& cells, std::string& bytes, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!std::isfinite(step) || step <= 0) return fail("the grid step must be a positive number");

  // Column key index -> (latitude key index -> cell).
  std::map<int64_t, std::map<int64_t, const GpsOffsetCell*>> columns;
  for (const GpsOffsetCell& cell : cells) {
    const double kx = std::round(cell.longitude / step), ky = std::round(cell.latitude / step);
    if (!(std::fabs(kx) < 2147483647.0) || !(std::fabs(ky) < 2147483647.0))
      return fail("a cell lies outside the grid's range");
    columns[static_cast<int64_t>(kx)][static_cast<int64_t>(ky)] = &cell;
  }
  uint64_t n2 = 0;
  for (const auto& column : columns) n2 += column.second.size();
  if (n2 > static_cast<uint64_t>(INT32_MAX)) return fail("too many cells");
  const uint64_t n1 = columns.size();
  const uint64_t size = CGpsOffsetTable::kHeaderSize + n1 * CGpsOffsetTable::kIndexRecordSize +
                        n2 * CGpsOffsetTable::kEntrySize;
  if (size > CGpsOffsetTable::kMaxFileBytes) return fail("the table would be too large");

  bytes.assign(static_cast<size_t>(size), '\0');
  std::memcpy(bytes.data(), kMagic, sizeof kMagic);
  PutDouble(bytes, 8, step);
  PutU64(bytes, 16, n1);
  PutU64(bytes, 24, n2);
  size_t record = CGpsOffsetTable::kHeaderSize;
  size_t entry = CGpsOffsetTable::kHeaderSize + static_cast<size_t>(n1) * CGpsOffsetTable::kIndexRecordSize;
  uint32_t first = 0;
  for (const auto& [kx, column] : columns) {
    const double lonKey = step * static_cast<double>(static_cast<int32_t>(kx));
    PutDouble(bytes, record, lonKey);
    // Bytes 8..23 (not read by the lookup): the column's lowest and highest latitude key.
    PutDouble(bytes, record + 8, step * static_cast<double>(static_cast<int32_t>(column.begin()->first)));
    PutDouble(bytes, record + 16, step * static_cast<double>(static_cast<int32_t>(column.rbegin()->first)));
    PutU32(bytes, record + 24, static_cast<uint32_t>(column.size()));
    PutU32(bytes, record + 28, first);
    record += CGpsOffsetTable::kIndexRecordSize;
    for (const auto& [ky, cell] : column) {
      const double latKey = step * static_cast<double>(static_cast<int32_t>(ky));
      // Bytes 0..7 and 16..31 (not read): the longitude key and the corrected corner.
      PutDouble(bytes, entry, lonKey);
      PutDouble(bytes, entry + 8, latKey);
      PutDouble(bytes, entry + 16, lonKey + cell->longitudeOffset);
      PutDouble(bytes, entry + 24, latKey + cell->latitudeOffset);
      PutDouble(bytes, entry + 32, cell->longitudeOffset);
      PutDouble(bytes, entry + 40, cell->latitudeOffset);
      entry += CGpsOffsetTable::kEntrySize;
    }
    first += static_cast<uint32_t>(column.size());
  }
  return true;
}

MapOffset MapOffsetFor(double longitude, double latitude, const MapOffsetChoice& choice,
                       const CGpsOffsetTable& table) {
  if (!choice.automatic) return choice.fixed;
  MapOffset offset;
  if (auto entry = table.Lookup(longitude, latitude)) {
    offset.longitude = entry->longitudeOffset;
    offset.latitude = entry->latitudeOffset;
  }
  return offset;
}

bool LoadGpsOffsetTableAtStartUp(bool automatic, const std::string& path) {
  return automatic && GpsOffsetTable().Load(path);
}
