#pragma once
// A small MPEG-2 transport stream multiplexer for the sample card. libavformat's
// mpegts muxer cannot write the private stream type 0xA0 of the camera's telemetry
// nor the camera's PID layout, so the card writes its streams with this one:
// - PAT (program kProgramNumber -> PMT PID) and PMT (PCR on the video PID; video 0x1B,
//   audio 0x0F and, unless left out, telemetry 0xA0), both with their CRC-32, written
//   by WriteTables and before every key frame;
// - one PES per access unit / audio frame / telemetry text, with PTS (video also with
//   DTS when Layout::videoDts is set or the DTS differs from the PTS), split into 188-byte packets; the last packet of a PES is
//   filled up with adaptation-field stuffing; continuity counters per PID;
// - a PCR (in the adaptation field of the first packet of every video PES) equal to
//   that frame's DTS; key frames also set the random access indicator.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace samplegen {

// MPEG-2 CRC-32 (polynomial 0x04C11DB7, initial value 0xFFFFFFFF, no reflection, no final XOR).
uint32_t Crc32Mpeg(const uint8_t* data, size_t size);

class TsMuxer {
public:
  struct Layout {
    uint16_t pmtPid;
    uint16_t videoPid;
    uint16_t audioPid;
    uint16_t telemetryPid;
    bool withTelemetry; // false: the PMT lists no telemetry stream
    bool videoDts;      // every video PES carries a DTS (as with B-frames), even one equal to its PTS
    uint8_t videoStreamType = 0x1B; // 0x1B H.264, 0x24 H.265
  };
  using Sink = std::function<void(const uint8_t* packet)>; // called with each 188-byte packet

  TsMuxer(const Layout& layout, Sink sink);

  void WriteTables();
  // Time stamps are in 90 kHz ticks, >= 0. A key frame gets the tables first.
  void WriteVideo(const uint8_t* data, size_t size, int64_t pts, int64_t dts, bool key);
  void WriteAudio(const uint8_t* data, size_t size, int64_t pts);
  void WriteTelemetry(const uint8_t* data, size_t size, int64_t pts);

  uint64_t PacketsWritten() const { return packets_; }

private:
  void WriteSection(uint16_t pid, const uint8_t* section, size_t size);
  void WritePes(uint16_t pid, uint8_t streamId, const uint8_t* data, size_t size, int64_t pts, int64_t dts,
                bool withDts, bool withPcr, bool randomAccess);
  uint8_t NextCounter(uint16_t pid);

  Layout layout_;
  Sink sink_;
  uint8_t counters_[8192] = {};
  uint64_t packets_ = 0;
};

} // namespace samplegen
