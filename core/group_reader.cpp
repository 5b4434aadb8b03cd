#include "core/group_reader.h"

#include <algorithm>
#include <cmath>

#include "core/frame_desc.h"
#include "core/ts_demux.h"
#include "core/ts_file.h"

namespace {

// Learns the program tables from the start of the file.
bool LearnTables(TsFile& file, TsDemux& demux) {
  file.DropWindow(false);
  file.SeekTo(0);
  while (!demux.StreamsKnown() && file.Position() < (int64_t{8} << 20) && file.FillForward() > 0) {
    file.WalkForward(
        [&](const uint8_t* packet) {
          TsPacket p;
          if (ParseTsPacket(packet, p)) demux.LearnTables(p);
          return !demux.StreamsKnown();
        },
        [] { return true; });
  }
  return demux.StreamsKnown();
}

// Hands every video PES that begins at or after `from` to onUnit(pos, pes, len),
// in file order, until onUnit returns false or the file ends.
template <typename OnUnit>
void WalkVideo(TsFile& file, TsDemux& demux, int64_t from, OnUnit&& onUnit) {
  file.DropWindow(false);
  file.SeekTo(from);
  demux.Drop();
  int64_t pesPos = -1;
  bool more = true;
  auto handle = [&](const uint8_t* packet) {
    const int64_t at = file.OffsetOf(packet);
    TsPacket p;
    if (!ParseTsPacket(packet, p) || p.pid != demux.Pids().video) return true;
    if (p.unitStart) {
      demux.Feed(packet, [&](TsStream stream, const uint8_t* pes, size_t len) {
        if (stream == TsStream::Video && pesPos >= 0) more = onUnit(pesPos, pes, len);
      }, false);
      pesPos = at;
      return more;
    }
    demux.Feed(packet, [](TsStream, const uint8_t*, size_t) {}, false);
    return true;
  };
  while (more && file.FillForward() > 0) file.WalkForward(handle, [&] { return more; });
  if (!more) return;
  if (const uint8_t* last = file.TrailingPacket()) handle(last);
  if (more && pesPos >= 0)
    demux.Finish([&](TsStream stream, const uint8_t* pes, size_t len) {
      if (stream == TsStream::Video && more) more = onUnit(pesPos, pes, len);
    });
}

// An access unit as the reader would queue it: from the start code that decides its kind.
bool MakeUnit(int64_t pos, const uint8_t* pes, size_t len, int codec, AccessUnit& unit) {
  PesHeader h;
  if (!ParsePesHeader(pes, len, h)) return false;
  const uint8_t* es = pes + h.payloadOffset;
  const size_t esSize = len - h.payloadOffset;
  size_t start = 0;
  const int kind = FindFrameKind(es, esSize, &start, codec);
  if (kind == kFrameNone) return false;
  unit.pos = pos;
  unit.pts = h.hasPts ? std::llround(h.pts * 90000.0) : -1;
  unit.key = kind == kFrameKey;
  unit.bytes.assign(es + start, es + esSize);
  return true;
}

// Reads from `from`: the group of the last key frame beginning before `before`
// (or, with before < 0, of the first key frame at all), up to the next key frame.
bool ReadGroup(TsFile& file, TsDemux& demux, int64_t from, int64_t before, PictureGroup& out) {
  out = PictureGroup{};
  WalkVideo(file, demux, from, [&](int64_t pos, const uint8_t* pes, size_t len) {
    AccessUnit unit;
    if (!MakeUnit(pos, pes, len, demux.Pids().videoCodec, unit)) return true;
    if (unit.key) {
      const bool starts = before < 0 ? out.keyPos < 0 : pos < before;
      if (!starts) {
        if (out.keyPos < 0) return true; // no group yet
        out.nextKeyPos = pos;
        return false;
      }
      out.keyPos = pos;
      out.units.clear();
    }
    if (out.keyPos >= 0) out.units.push_back(std::move(unit));
    return true;
  });
  return out.keyPos >= 0;
}

} // namespace

bool ReadGroupBefore(const std::string& path, int64_t before, PictureGroup& out) {
  TsFile file;
  TsDemux demux;
  if (!file.Open(path, false) || !LearnTables(file, demux)) return false;
  const int64_t end = std::min(before, file.Size());
  // Back far enough to hold a key frame before `end`; further back each time there is none.
  for (int64_t span = int64_t{4} << 20;; span *= 4) {
    const int64_t from = std::max<int64_t>(0, end - span);
    if (ReadGroup(file, demux, from, before, out)) return true;
    if (from == 0) return false;
  }
}

bool ReadGroupFrom(const std::string& path, int64_t from, PictureGroup& out) {
  TsFile file;
  TsDemux demux;
  if (!file.Open(path, false) || !LearnTables(file, demux)) return false;
  return ReadGroup(file, demux, std::max<int64_t>(0, from), -1, out);
}
