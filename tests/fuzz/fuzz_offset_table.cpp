// Any bytes as "offset_min.bin": loading must refuse or accept without reading
// outside the file, and lookups must stay inside the loaded table.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "telemetry/gps_offset.h"

namespace {

double DoubleAt(const uint8_t* data, size_t size, size_t at) {
  double v = 0;
  if (at + 8 <= size) std::memcpy(&v, data + at, 8);
  return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0; // fmemopen needs at least one byte
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  CGpsOffsetTable table;
  const bool loaded = table.LoadFrom(file);
  std::fclose(file);
  if (!loaded) return 0;

  // Probe at the keys the file itself holds (first columns and cells), near
  // them, and at a few fixed places.
  const double step = table.Step();
  const size_t entries = 32 + 32 * static_cast<size_t>(table.IndexCount());
  for (size_t i = 0; i < 4; ++i) {
    const double lon = DoubleAt(data, size, 32 + 32 * i);
    const double lat = DoubleAt(data, size, entries + 48 * i + 8);
    (void)table.Lookup(lon, lat);
    (void)table.Lookup(lon + step / 2, lat + step / 2);
    (void)table.Lookup(-lon, -lat);
  }
  (void)table.Lookup(0, 0);
  (void)table.Lookup(120.5289, 24.0777);
  return 0;
}
