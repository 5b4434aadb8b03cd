#include "core/ts_format.h"

#include "core/frame_desc.h"

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

int FindFrameKind(const uint8_t* es, size_t len, size_t* start) {
  size_t sps = SIZE_MAX;
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
    switch (es[i + 3]) {
      case 0x25:
      case 0x65:
        *start = sps != SIZE_MAX ? sps : code;
        return kFrameKey;
      case 0x01:
      case 0x21:
      case 0x41:
      case 0x61:
        *start = sps != SIZE_MAX ? sps : code;
        return kFrameOther;
      case 0x27:
      case 0x67:
        if (sps == SIZE_MAX) sps = code;
        break;
      default: break;
    }
    i += 3;
  }
  return kFrameNone;
}

std::vector<ProgramEntry> ParsePat(const uint8_t* payload, int payloadLength) {
  std::vector<ProgramEntry> programs;
  if (payloadLength < 1) return programs;
  int start = 1 + payload[0]; // pointer field
  if (start + 8 > payloadLength) return programs;
  const uint8_t* s = payload + start;
  int sectionLength = ((s[1] & 0x0F) << 8) | s[2];
  for (int off = 0; off < sectionLength - 12; off += 4) {
    if (start + 8 + off + 4 > payloadLength) break; // the section goes on past this packet
    const uint8_t* e = s + 8 + off;
    int program = (e[0] << 8) | e[1];
    int pid = ((e[2] & 0x1F) << 8) | e[3];
    if (program != 0) programs.push_back({program, pid});
  }
  return programs;
}

std::vector<StreamEntry> ParsePmt(const uint8_t* payload, int payloadLength) {
  std::vector<StreamEntry> streams;
  if (payloadLength < 1) return streams;
  int start = 1 + payload[0];
  if (start + 12 > payloadLength) return streams;
  const uint8_t* s = payload + start;
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
  return streams;
}

StreamPids PidsFromStreams(const std::vector<StreamEntry>& streams) {
  StreamPids pids;
  for (const auto& s : streams) {
    if (s.type == kStreamTypeH264) pids.video = s.pid;
    else if (s.type == kStreamTypeAac) pids.audio = s.pid;
    else if (s.type == kStreamTypeTelemetry) pids.telemetry = s.pid;
  }
  return pids;
}
