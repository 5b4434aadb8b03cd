#pragma once
// Forward demultiplexing of a transport stream: learns the PIDs of the video,
// audio and telemetry streams from the program tables, and reassembles their
// PES packets. A PES is complete when the next PES of its PID begins (or at
// Finish). Shared by the reader, the export and the command-line tools.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/ts_format.h"

enum class TsStream { Video, Audio, Telemetry };

class TsDemux {
public:
  // Video PES packets up to 8 MiB (key frames of high bit rate recordings
  // reach 1.5 MB); sound and telemetry up to 1 MiB. A buffer's pages are only
  // touched as far as its packets reach.
  static constexpr size_t kVideoPesCapacity = 8 << 20;
  static constexpr size_t kPesCapacity = 1 << 20;

  TsDemux();

  // Offers one packet to the program tables while the streams are unknown (or
  // being learnt again). A table whose CRC does not match is passed over and
  // the next copy is used. Returns whether the streams are known now.
  bool LearnTables(const TsPacket& p);
  bool StreamsKnown() const { return known_; }
  // The tables are still to be learnt (or learnt again).
  bool Learning() const { return !known_ || relearn_; }
  const StreamPids& Pids() const { return pids_; }
  // Forgets the program tables (a new stream layout is learnt).
  void ForgetTables();
  // Learns the tables again from the next good ones (another file has been
  // opened), going on with the streams known so far until then.
  void RelearnTables();
  // Goes up by one each time the tables have been learnt.
  int TablesLearnt() const { return learnt_; }
  // Damaged tables passed over so far.
  int RejectedTables() const { return rejected_; }

  // Feeds one packet: learns the tables first, then reassembles the three
  // streams (audio and telemetry only when wanted). onPes(TsStream, const
  // uint8_t* pes, size_t len) is called for a PES that this packet completes,
  // before the packet's own payload is appended.
  template <typename OnPes>
  void Feed(const uint8_t* packet, OnPes&& onPes, bool wantAudioAndTelemetry = true);
  // Hands over what is buffered as complete PES packets and empties the buffers.
  template <typename OnPes>
  void Finish(OnPes&& onPes);
  // Empties the buffers without handing anything over.
  void Drop();

  // The video buffer, for the reader's reverse assembly.
  uint8_t* VideoBuffer() { return buffers_[0].get(); }

private:
  static size_t Capacity(int which) { return which == 0 ? kVideoPesCapacity : kPesCapacity; }

  bool known_ = false;
  bool relearn_ = false;
  int learnt_ = 0;
  int rejected_ = 0;
  StreamPids pids_;
  std::vector<ProgramEntry> programs_;
  std::vector<StreamEntry> streams_;
  std::unique_ptr<uint8_t[]> buffers_[3];
  size_t counts_[3] = {0, 0, 0};
};

template <typename OnPes>
void TsDemux::Feed(const uint8_t* packet, OnPes&& onPes, bool wantAudioAndTelemetry) {
  TsPacket p;
  if (!ParseTsPacket(packet, p)) return;
  if (Learning() && !LearnTables(p)) return;
  int which;
  if (p.pid == pids_.video) which = 0;
  else if (!wantAudioAndTelemetry) return;
  else if (p.pid == pids_.audio) which = 1;
  else if (p.pid == pids_.telemetry) which = 2;
  else return;
  uint8_t* buf = buffers_[which].get();
  if (p.unitStart) {
    onPes(static_cast<TsStream>(which), static_cast<const uint8_t*>(buf), counts_[which]);
    counts_[which] = 0;
  }
  const auto len = static_cast<size_t>(p.payloadLength);
  if (counts_[which] + len <= Capacity(which)) { // a payload that would overflow is not appended
    std::memcpy(buf + counts_[which], p.payload, len);
    counts_[which] += len;
  }
}

template <typename OnPes>
void TsDemux::Finish(OnPes&& onPes) {
  for (int i = 0; i < 3; ++i) {
    if (counts_[i] > 0) onPes(static_cast<TsStream>(i), static_cast<const uint8_t*>(buffers_[i].get()), counts_[i]);
    counts_[i] = 0;
  }
}

#include "core/ts_file.h"

// Reads a recording forward from its start to its end and hands every complete
// PES to onPes (the last PES of the file, with its last packet, too). False
// when it cannot be opened.
template <typename OnPes>
bool DemuxFile(const std::string& path, OnPes&& onPes) {
  TsFile file;
  if (!file.Open(path, false)) return false;
  TsDemux demux;
  while (file.FillForward() > 0)
    file.WalkForward([&](const uint8_t* p) { demux.Feed(p, onPes); return true; }, [] { return true; });
  if (const uint8_t* last = file.TrailingPacket()) demux.Feed(last, onPes);
  demux.Finish(onPes);
  return true;
}

// The payloads (the bytes after each PES header) of one stream of a recording,
// in order. Empty when the file cannot be opened or has no such stream.
inline std::vector<std::string> PesPayloads(const std::string& path, TsStream which) {
  std::vector<std::string> payloads;
  DemuxFile(path, [&](TsStream stream, const uint8_t* pes, size_t len) {
    PesHeader h;
    if (stream == which && ParsePesHeader(pes, len, h))
      payloads.emplace_back(reinterpret_cast<const char*>(pes + h.payloadOffset), len - h.payloadOffset);
  });
  return payloads;
}
