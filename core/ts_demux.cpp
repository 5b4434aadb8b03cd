#include "core/ts_demux.h"

TsDemux::TsDemux() {
  for (int i = 0; i < 3; ++i) buffers_[i].reset(new uint8_t[Capacity(i)]);
}

bool TsDemux::LearnTables(const TsPacket& p) {
  if (!Learning()) return true;
  if (p.unitStart) {
    // A damaged section leaves its list empty: the next copy is read.
    if (p.pid == 0 && programs_.empty()) {
      if (!ParsePatInto(p.payload, p.payloadLength, programs_)) {
        programs_.clear();
        ++rejected_;
      }
    } else if (!programs_.empty() && p.pid == programs_.front().mapPid && streams_.empty()) {
      if (!ParsePmtInto(p.payload, p.payloadLength, streams_)) {
        streams_.clear();
        ++rejected_;
      }
    }
  }
  if (!streams_.empty()) {
    pids_ = PidsFromStreams(streams_);
    known_ = true;
    relearn_ = false;
    ++learnt_;
  }
  return known_;
}

void TsDemux::RelearnTables() {
  programs_.clear();
  streams_.clear();
  relearn_ = known_;
}

void TsDemux::ForgetTables() {
  known_ = false;
  relearn_ = false;
  pids_ = StreamPids{};
  programs_.clear();
  streams_.clear();
}

void TsDemux::Drop() { counts_[0] = counts_[1] = counts_[2] = 0; }
