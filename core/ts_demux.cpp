#include "core/ts_demux.h"

TsDemux::TsDemux() {
  for (auto& b : buffers_) b.reset(new uint8_t[kPesCapacity]);
}

bool TsDemux::LearnTables(const TsPacket& p) {
  if (known_) return true;
  if (p.unitStart) {
    if (p.pid == 0 && programs_.empty()) {
      programs_ = ParsePat(p.payload, p.payloadLength);
    } else if (!programs_.empty() && p.pid == programs_.front().mapPid && streams_.empty()) {
      streams_ = ParsePmt(p.payload, p.payloadLength);
    }
  }
  if (!streams_.empty()) {
    pids_ = PidsFromStreams(streams_);
    known_ = true;
  }
  return known_;
}

void TsDemux::ForgetTables() {
  known_ = false;
  pids_ = StreamPids{};
  programs_.clear();
  streams_.clear();
}

void TsDemux::Drop() { counts_[0] = counts_[1] = counts_[2] = 0; }
