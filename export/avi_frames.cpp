#include "export/avi_frames.h"

#include <cstring>

#include "core/frame_desc.h"

void AviFrames::Packet(const uint8_t* packet, size_t index, int64_t pos) {
  TsPacket p;
  if (!ParseTsPacket(packet, p)) return;
  const int which = p.pid == pids_.video ? 0 : p.pid == pids_.audio ? 1 : -1;
  if (which < 0) return;
  ++seq_;
  Collection& c = collections_[which];
  if (p.unitStart) {
    if (c.count > 0 && !c.overflow) Cut(which, index, pos);
    c.count = 0;
    c.overflow = false;
    c.startSeq = seq_;
  }
  const auto n = static_cast<size_t>(p.payloadLength);
  if (c.overflow || c.count + n > c.capacity) {
    c.overflow = true; // larger than the buffer: dropped whole
  } else {
    std::memcpy(c.data.get() + c.count, p.payload, n);
    c.count += n;
  }
}

void AviFrames::Cut(int which, size_t index, int64_t pos) {
  const Collection& c = collections_[which];
  PesHeader h;
  if (!ParsePesHeader(c.data.get(), c.count, h)) return;
  const uint8_t* es = c.data.get() + h.payloadOffset;
  const size_t size = c.count - h.payloadOffset;
  size_t start = 0;
  const int kind = which == 0 ? FindFrameKind(es, size, &start, pids_.videoCodec) : kFrameAudio;
  if (kind == kFrameNone) return; // no slice: nothing to show
  if (!plan_.Belongs(index, pos)) {
    if (plan_.ReachedEnd(index, pos)) finished_ = true;
    return;
  }
  // The file begins with the stretch's first key frame, as the frames before
  // it cannot be decoded; the sound begins with the first audio PES that
  // began after that frame's PES, so that both start together.
  if (which == 0) {
    if (!pictureStarted_) {
      if (kind != kFrameKey) {
        pending_.clear(); // sound that began before any later key frame
        return;
      }
      pictureStarted_ = true;
      pictureSeq_ = c.startSeq;
      if (!avi_.WriteVideoFrame(es + start, size - start)) failed_ = true;
      for (const auto& a : pending_)
        if (a.startSeq > pictureSeq_ && !failed_) WriteAudio(a.es.data(), a.es.size());
      pending_.clear();
      return;
    }
    if (!avi_.WriteVideoFrame(es + start, size - start)) failed_ = true;
  } else if (!pictureStarted_) {
    pending_.push_back({c.startSeq, std::vector<uint8_t>(es, es + size)});
  } else if (c.startSeq > pictureSeq_) {
    WriteAudio(es, size);
  }
}

void AviFrames::WriteAudio(const uint8_t* es, size_t size) {
  pcm_.clear();
  decoder_.Decode(es, size, pcm_); // a frame that does not decode adds no samples
  if (!pcm_.empty() && !avi_.WriteAudio(reinterpret_cast<const uint8_t*>(pcm_.data()), pcm_.size() * 2))
    failed_ = true;
}
