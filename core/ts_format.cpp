#include "core/ts_format.h"

#include "core/frame_desc.h"

#include <algorithm>
#include <array>
#include <cmath>

bool ParseTsPacket(const uint8_t* p, TsPacket& out) {
  if (p[1] & 0x80) return false; // transport error
  out.unitStart = (p[1] & 0x40) != 0;
  out.pid = ((p[1] & 0x1F) << 8) | p[2];
  out.adaptationControl = (p[3] >> 4) & 0x03;
  switch (out.adaptationControl) {
    case 0: return false;
    case 1: out.payloadLength = 184; break;
    case 2: out.payloadLength = 0; break;
    default:
      out.payloadLength = 183 - p[4];
      if (out.payloadLength < 0) return false;
      break;
  }
  out.payload = p + kTsPacketSize - out.payloadLength;
  return true;
}

double ReadTimestamp(const uint8_t* b) {
  uint64_t v = (static_cast<uint64_t>(b[0] & 0x0E) << 29) + (static_cast<uint64_t>(b[1]) << 22) +
               (static_cast<uint64_t>(b[2] & 0xFE) << 14) + (static_cast<uint64_t>(b[3]) << 7) +
               (static_cast<uint64_t>(b[4]) >> 1);
  return static_cast<double>(v) / 90000.0;
}

int NominalRateOf(double span, int intervals) {
  if (!(span > 0) || intervals <= 0) return 0;
  const double fps = intervals / span;
  for (int rate : {24, 25, 30, 50, 60})
    if (std::abs(fps - rate) <= rate * 0.03) return rate;
  return std::clamp(static_cast<int>(std::lround(fps)), 1, 240);
}

bool ParsePesHeader(const uint8_t* buf, size_t len, PesHeader& out) {
  if (len < static_cast<size_t>(kPesHeaderLength) || buf[0] != 0 || buf[1] != 0 || buf[2] != 1) return false;
  out.ptsDtsFlags = buf[7] >> 6;
  out.headerDataLength = buf[8];
  out.payloadOffset = static_cast<size_t>(kPesHeaderLength + out.headerDataLength);
  if (len <= out.payloadOffset) return false;
  out.pts = out.dts = 0;
  out.hasPts = false;
  if ((out.ptsDtsFlags == 2 || out.ptsDtsFlags == 3) && out.headerDataLength >= 5) {
    out.pts = ReadTimestamp(buf + 9);
    out.hasPts = true;
    if (out.ptsDtsFlags == 3 && out.headerDataLength >= 10) out.dts = ReadTimestamp(buf + 14);
  }
  return true;
}

namespace {

constexpr auto kCrcTable = [] {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i << 24;
    for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
    t[i] = c;
  }
  return t;
}();

// The kind a NAL unit header gives: a key or other slice, a parameter set that
// begins a frame, or nothing.
enum class Nal { Key, Other, ParameterSet, None };

Nal H264Nal(uint8_t b) {
  switch (b) {
    case 0x25:
    case 0x65: return Nal::Key;
    case 0x01:
    case 0x21:
    case 0x41:
    case 0x61: return Nal::Other;
    case 0x27:
    case 0x67: return Nal::ParameterSet;
    default: return Nal::None;
  }
}

Nal H265Nal(uint8_t b) {
  const int type = (b >> 1) & 0x3F;
  if (b & 0x80) return Nal::None; // forbidden bit
  if (type >= 16 && type <= 21) return Nal::Key;
  if (type <= 9) return Nal::Other;
  if (type >= 32 && type <= 34) return Nal::ParameterSet;
  return Nal::None;
}

// A section of a table whose first byte is at s, with `avail` bytes there:
// whole, of the table id, and with a matching CRC.
bool SectionValid(const uint8_t* s, int avail, int tableId) {
  if (avail < 3 || s[0] != tableId) return false;
  const int sectionLength = ((s[1] & 0x0F) << 8) | s[2];
  if (sectionLength < 9 || 3 + sectionLength > avail) return false;
  return SectionCrc32(s, static_cast<size_t>(3 + sectionLength)) == 0;
}

} // namespace

uint32_t SectionCrc32(const uint8_t* data, size_t len) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < len; ++i) crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

int FindFrameKind(const uint8_t* es, size_t len, size_t* start, int codec) {
  size_t sps = SIZE_MAX;
  const bool hevc = codec == kCodecH265;
  // i indexes the 00 00 01 of a start code; a zero before it makes it a
  // four-byte code, and the frame then starts at that zero.
  for (size_t i = 0; i + 9 <= len;) {
    const uint8_t c = es[i + 2];
    if (c > 1) { // no start code can have its 01 at i, i + 1 or i + 2
      i += 3;
      continue;
    }
    if (c != 1 || es[i] != 0 || es[i + 1] != 0) {
      ++i;
      continue;
    }
    const size_t code = i > 0 && es[i - 1] == 0 ? i - 1 : i;
    switch (hevc ? H265Nal(es[i + 3]) : H264Nal(es[i + 3])) {
      case Nal::Key:
        *start = sps != SIZE_MAX ? sps : code;
        return kFrameKey;
      case Nal::Other:
        *start = sps != SIZE_MAX ? sps : code;
        return kFrameOther;
      case Nal::ParameterSet:
        if (sps == SIZE_MAX) sps = code;
        break;
      case Nal::None: break;
    }
    i += 3;
  }
  return kFrameNone;
}

std::vector<ProgramEntry> ParsePat(const uint8_t* payload, int payloadLength, bool* valid) {
  std::vector<ProgramEntry> programs;
  const bool ok = ParsePatInto(payload, payloadLength, programs);
  if (valid) *valid = ok;
  return programs;
}

bool ParsePatInto(const uint8_t* payload, int payloadLength, std::vector<ProgramEntry>& programs) {
  programs.clear();
  if (payloadLength < 1) return false;
  int start = 1 + payload[0]; // pointer field
  if (start + 8 > payloadLength) return false;
  const uint8_t* s = payload + start;
  const bool valid = SectionValid(s, payloadLength - start, 0x00);
  int sectionLength = ((s[1] & 0x0F) << 8) | s[2];
  for (int off = 0; off < sectionLength - 12; off += 4) {
    if (start + 8 + off + 4 > payloadLength) break; // the section goes on past this packet
    const uint8_t* e = s + 8 + off;
    int program = (e[0] << 8) | e[1];
    int pid = ((e[2] & 0x1F) << 8) | e[3];
    if (program != 0) programs.push_back({program, pid});
  }
  return valid;
}

std::vector<StreamEntry> ParsePmt(const uint8_t* payload, int payloadLength, bool* valid) {
  std::vector<StreamEntry> streams;
  const bool ok = ParsePmtInto(payload, payloadLength, streams);
  if (valid) *valid = ok;
  return streams;
}

bool ParsePmtInto(const uint8_t* payload, int payloadLength, std::vector<StreamEntry>& streams) {
  streams.clear();
  if (payloadLength < 1) return false;
  int start = 1 + payload[0];
  if (start + 12 > payloadLength) return false;
  const uint8_t* s = payload + start;
  const bool valid = SectionValid(s, payloadLength - start, 0x02);
  const int sectionLength = ((s[1] & 0x0F) << 8) | s[2];
  const int programInfoLength = ((s[10] & 0x0F) << 8) | s[11];
  // Entries end where the CRC-32 begins (3 + section length - 4).
  const int crcAt = 3 + sectionLength - 4;
  for (int off = 12 + programInfoLength; off + 5 <= crcAt; ) {
    if (start + off + 5 > payloadLength) break;
    const uint8_t* e = s + off;
    streams.push_back({e[0], ((e[1] & 0x1F) << 8) | e[2]});
    off += 5 + (((e[3] & 0x0F) << 8) | e[4]);
  }
  return valid;
}

StreamPids PidsFromStreams(const std::vector<StreamEntry>& streams) {
  StreamPids pids;
  for (const auto& s : streams) {
    switch (s.type) {
      case kStreamTypeH264:
        pids.video = s.pid;
        pids.videoCodec = kCodecH264;
        break;
      case kStreamTypeH265:
        pids.video = s.pid;
        pids.videoCodec = kCodecH265;
        break;
      case kStreamTypeAac: pids.audio = s.pid; break;
      case kStreamTypeTelemetry: pids.telemetry = s.pid; break;
      // MPEG-1/2 video, MPEG-4 part 2, VC-1, AVS, Dirac
      case 0x01: case 0x02: case 0x10: case 0xEA: case 0x42: case 0xD1: pids.otherVideo = true; break;
      // MPEG audio, AAC in LATM, AC-3, E-AC-3, DTS, TrueHD, MPEG-4 audio
      case 0x03: case 0x04: case 0x11: case 0x81: case 0x87: case 0x82: case 0x83: case 0x84: case 0x85:
      case 0x86: case 0x1C: pids.otherAudio = true; break;
      default: break;
    }
  }
  return pids;
}
