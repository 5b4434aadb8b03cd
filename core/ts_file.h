#pragma once
// Reading a recording in 8192-byte blocks, forward or backward, and finding
// its 188-byte packets: a packet is taken only when the sync byte of the
// packet beside it is also in the window, so any junk between packets is
// passed over a byte at a time.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

class TsFile {
public:
  static constexpr int kBlockSize = 8192;
  static constexpr int kWindowSize = 9500;
  static constexpr int64_t kBackStep = 16384;

  TsFile();
  ~TsFile();
  TsFile(const TsFile&) = delete;
  TsFile& operator=(const TsFile&) = delete;

  // Opens the file for reading at its start (forward) or its end (backward).
  // A file that cannot be opened reads as empty.
  bool Open(const std::string& path, bool backward);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int64_t Size() const { return size_; }
  // The file pointer: the byte offset just after the last block read.
  int64_t Position() const { return position_; }
  // Moves the file pointer; the window is kept (the caller drops it).
  void SeekTo(int64_t offset) { position_ = offset; }
  // Empties the window (forward: offset 0; backward: offset at its end).
  void DropWindow(bool backward);

  // Forward: reads the next block into the window after the bytes not yet
  // consumed. Returns the bytes read; 0 at the end of the file (or when it
  // can no longer be read).
  int FillForward();
  // Hands every packet in the window to onPacket(const uint8_t* packet), which
  // returns false to stop the walk and leave the rest of the window (the caller
  // then drops it). keepGoing() is asked before each packet.
  template <typename OnPacket, typename KeepGoing>
  void WalkForward(OnPacket&& onPacket, KeepGoing&& keepGoing);

  // The byte offset in the file of a packet the walks hand out (valid until the
  // next fill), or of the trailing packet.
  int64_t OffsetOf(const uint8_t* packet) const { return windowBase_ + (packet - window_.get()); }

  // Forward, at the end of the file: the last packet, which the walk never
  // takes because no sync byte follows it; null when the window holds no
  // whole packet there.
  const uint8_t* TrailingPacket() const {
    return count_ == kPacket && window_[static_cast<size_t>(offset_)] == 0x47 ? window_.get() + offset_ : nullptr;
  }

  // Backward: reads the block before the previous one (16384 bytes back from
  // the file pointer) into the window before the bytes not yet consumed.
  // Returns the bytes read; 0 when that block would begin at the start of the
  // file (such a block is never used) or nothing could be read.
  int FillBackward();
  // Hands the window's packets to onPacket last-first, as WalkForward.
  template <typename OnPacket, typename KeepGoing>
  void WalkBackward(OnPacket&& onPacket, KeepGoing&& keepGoing);

private:
  static constexpr int kPacket = 188;
  // Reads up to one block at a byte offset; -1 on a read error.
  int ReadBlock(int64_t at);

  int fd_ = -1;
  int64_t size_ = 0;
  int64_t position_ = 0;
  std::unique_ptr<uint8_t[]> window_;
  std::unique_ptr<uint8_t[]> block_;
  int64_t windowBase_ = 0; // the file offset of the window's first byte
  int count_ = 0;  // unconsumed bytes in the window
  int offset_ = 0; // forward: first unconsumed byte; backward: last unconsumed byte
};

template <typename OnPacket, typename KeepGoing>
void TsFile::WalkForward(OnPacket&& onPacket, KeepGoing&& keepGoing) {
  uint8_t* w = window_.get();
  while (count_ > kPacket && keepGoing()) {
    if (w[offset_] == 0x47 && w[offset_ + kPacket] == 0x47) {
      const uint8_t* packet = w + offset_;
      offset_ += kPacket;
      count_ -= kPacket;
      if (!onPacket(packet)) break;
    } else {
      ++offset_;
      --count_;
    }
  }
}

template <typename OnPacket, typename KeepGoing>
void TsFile::WalkBackward(OnPacket&& onPacket, KeepGoing&& keepGoing) {
  uint8_t* w = window_.get();
  while (count_ > kPacket && keepGoing()) {
    if (w[offset_] == 0x47 && w[offset_ - kPacket] == 0x47) {
      const uint8_t* packet = w + offset_ - kPacket;
      offset_ -= kPacket;
      count_ -= kPacket;
      if (!onPacket(packet)) break;
    } else {
      --offset_;
      --count_;
    }
  }
}
