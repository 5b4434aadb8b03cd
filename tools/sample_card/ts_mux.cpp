#include "tools/sample_card/ts_mux.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tools/sample_card/sample_constants.h"

namespace samplegen {
namespace {

constexpr int kPacketSize = 188;

void PutTimestamp(uint8_t* p, uint8_t prefix, int64_t ts) {
  uint64_t v = static_cast<uint64_t>(ts) & 0x1FFFFFFFFull;
  p[0] = static_cast<uint8_t>((prefix << 4) | ((v >> 29) & 0x0E) | 1);
  p[1] = static_cast<uint8_t>(v >> 22);
  p[2] = static_cast<uint8_t>(((v >> 14) & 0xFE) | 1);
  p[3] = static_cast<uint8_t>(v >> 7);
  p[4] = static_cast<uint8_t>(((v << 1) & 0xFE) | 1);
}

void PutPcr(uint8_t* p, int64_t ticks90k) {
  uint64_t base = static_cast<uint64_t>(ticks90k) & 0x1FFFFFFFFull;
  p[0] = static_cast<uint8_t>(base >> 25);
  p[1] = static_cast<uint8_t>(base >> 17);
  p[2] = static_cast<uint8_t>(base >> 9);
  p[3] = static_cast<uint8_t>(base >> 1);
  p[4] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E); // 6 reserved bits, extension 0
  p[5] = 0;
}

} // namespace

uint32_t Crc32Mpeg(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= static_cast<uint32_t>(data[i]) << 24;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

TsMuxer::TsMuxer(const Layout& layout, Sink sink) : layout_(layout), sink_(std::move(sink)) {}

uint8_t TsMuxer::NextCounter(uint16_t pid) {
  uint8_t c = counters_[pid & 0x1FFF];
  counters_[pid & 0x1FFF] = static_cast<uint8_t>((c + 1) & 0x0F);
  return c;
}

void TsMuxer::WriteSection(uint16_t pid, const uint8_t* section, size_t size) {
  uint8_t pkt[kPacketSize];
  std::memset(pkt, 0xFF, sizeof pkt);
  pkt[0] = 0x47;
  pkt[1] = static_cast<uint8_t>(0x40 | (pid >> 8)); // payload unit start
  pkt[2] = static_cast<uint8_t>(pid);
  pkt[3] = static_cast<uint8_t>(0x10 | NextCounter(pid)); // payload only
  pkt[4] = 0;                                             // pointer field
  std::memcpy(pkt + 5, section, std::min(size, static_cast<size_t>(kPacketSize - 5)));
  sink_(pkt);
  ++packets_;
}

void TsMuxer::WriteTables() {
  // PAT
  uint8_t pat[16];
  size_t n = 0;
  pat[n++] = 0x00;          // table id
  pat[n++] = 0xB0;          // section syntax, '0', reserved, length high bits
  pat[n++] = 13;            // section length: 5 + 4 + 4
  pat[n++] = 0x00; pat[n++] = 0x01; // transport stream id
  pat[n++] = 0xC1;          // version 0, current
  pat[n++] = 0x00; pat[n++] = 0x00; // section number, last section number
  pat[n++] = static_cast<uint8_t>(kProgramNumber >> 8);
  pat[n++] = static_cast<uint8_t>(kProgramNumber);
  pat[n++] = static_cast<uint8_t>(0xE0 | (layout_.pmtPid >> 8));
  pat[n++] = static_cast<uint8_t>(layout_.pmtPid);
  uint32_t crc = Crc32Mpeg(pat, n);
  for (int i = 3; i >= 0; --i) pat[n++] = static_cast<uint8_t>(crc >> (8 * i));
  WriteSection(0, pat, n);

  // PMT
  std::vector<uint8_t> pmt;
  pmt.push_back(0x02);
  pmt.push_back(0xB0);
  pmt.push_back(0); // length, set below
  pmt.push_back(static_cast<uint8_t>(kProgramNumber >> 8));
  pmt.push_back(static_cast<uint8_t>(kProgramNumber));
  pmt.push_back(0xC1);
  pmt.push_back(0x00);
  pmt.push_back(0x00);
  pmt.push_back(static_cast<uint8_t>(0xE0 | (layout_.videoPid >> 8))); // PCR PID
  pmt.push_back(static_cast<uint8_t>(layout_.videoPid));
  pmt.push_back(0xF0); // program info length 0
  pmt.push_back(0x00);
  auto stream = [&pmt](uint8_t type, uint16_t pid) {
    pmt.push_back(type);
    pmt.push_back(static_cast<uint8_t>(0xE0 | (pid >> 8)));
    pmt.push_back(static_cast<uint8_t>(pid));
    pmt.push_back(0xF0); // ES info length 0
    pmt.push_back(0x00);
  };
  stream(layout_.videoStreamType, layout_.videoPid);
  stream(kAudioStreamType, layout_.audioPid);
  if (layout_.withTelemetry) stream(kTelemetryStreamType, layout_.telemetryPid);
  size_t sectionLength = pmt.size() - 3 + 4;
  pmt[1] = static_cast<uint8_t>(0xB0 | (sectionLength >> 8));
  pmt[2] = static_cast<uint8_t>(sectionLength);
  crc = Crc32Mpeg(pmt.data(), pmt.size());
  for (int i = 3; i >= 0; --i) pmt.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  WriteSection(layout_.pmtPid, pmt.data(), pmt.size());
}

void TsMuxer::WritePes(uint16_t pid, uint8_t streamId, const uint8_t* data, size_t size, int64_t pts, int64_t dts,
                       bool withDts, bool withPcr, bool randomAccess) {
  // PES header
  uint8_t header[19];
  const uint8_t headerData = withDts ? 10 : 5;
  size_t h = 0;
  header[h++] = 0x00; header[h++] = 0x00; header[h++] = 0x01;
  header[h++] = streamId;
  size_t pesLength = 3 + headerData + size; // bytes after the length field
  if (pesLength > 0xFFFF) pesLength = 0;   // allowed for video only; unbounded
  header[h++] = static_cast<uint8_t>(pesLength >> 8);
  header[h++] = static_cast<uint8_t>(pesLength);
  header[h++] = 0x84; // '10', data alignment indicator
  header[h++] = withDts ? 0xC0 : 0x80;
  header[h++] = headerData;
  PutTimestamp(header + h, withDts ? 3 : 2, pts);
  h += 5;
  if (withDts) {
    PutTimestamp(header + h, 1, dts);
    h += 5;
  }

  size_t total = h + size, done = 0;
  bool first = true;
  while (done < total) {
    uint8_t pkt[kPacketSize];
    pkt[0] = 0x47;
    pkt[1] = static_cast<uint8_t>((first ? 0x40 : 0x00) | (pid >> 8));
    pkt[2] = static_cast<uint8_t>(pid);
    // Adaptation field: PCR on the first packet when asked, stuffing on the last.
    uint8_t af[kPacketSize];
    size_t afLen = 0; // bytes of the adaptation field including its length byte; 0 = none
    if (first && withPcr) {
      af[1] = static_cast<uint8_t>(0x10 | (randomAccess ? 0x40 : 0x00)); // PCR flag, random access
      PutPcr(af + 2, dts);
      afLen = 8;
    }
    size_t room = kPacketSize - 4 - afLen;
    size_t left = total - done;
    if (left < room) {
      size_t stuffing = room - left;
      if (afLen == 0) {
        // A new adaptation field: its length byte, then (when there is room) flags and 0xFF bytes.
        afLen = stuffing;
        if (afLen >= 2) {
          af[1] = 0x00;
          std::memset(af + 2, 0xFF, afLen - 2);
        }
      } else {
        std::memset(af + afLen, 0xFF, stuffing);
        afLen += stuffing;
      }
      room = left;
    }
    pkt[3] = static_cast<uint8_t>((afLen ? 0x30 : 0x10) | NextCounter(pid));
    if (afLen) {
      af[0] = static_cast<uint8_t>(afLen - 1);
      std::memcpy(pkt + 4, af, afLen);
    }
    uint8_t* payload = pkt + 4 + afLen;
    size_t take = room;
    // Copy from the header first, then the data.
    size_t fromHeader = done < h ? std::min(h - done, take) : 0;
    if (fromHeader) std::memcpy(payload, header + done, fromHeader);
    if (take > fromHeader) std::memcpy(payload + fromHeader, data + (done + fromHeader - h), take - fromHeader);
    done += take;
    first = false;
    sink_(pkt);
    ++packets_;
  }
}

void TsMuxer::WriteVideo(const uint8_t* data, size_t size, int64_t pts, int64_t dts, bool key) {
  if (key) WriteTables();
  WritePes(layout_.videoPid, kVideoStreamId, data, size, pts, dts, layout_.videoDts || dts != pts, true, key);
}

void TsMuxer::WriteAudio(const uint8_t* data, size_t size, int64_t pts) {
  WritePes(layout_.audioPid, kAudioStreamId, data, size, pts, pts, false, false, false);
}

void TsMuxer::WriteTelemetry(const uint8_t* data, size_t size, int64_t pts) {
  WritePes(layout_.telemetryPid, kTelemetryStreamId, data, size, pts, pts, false, false, false);
}

} // namespace samplegen
