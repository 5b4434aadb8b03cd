#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// What the reader and the video thread of a channel share about recordings:
// the paths of the recordings the reader opened, by serial (frames carry the
// serial, not the path), and a request from the video thread to the reader to
// read on from a byte offset of a recording, as after stepping to an exact
// picture. Any thread.
class PlaybackFiles {
public:
  // The reader opened path: its serial (never 0).
  int Register(const std::string& path);
  // The path of a serial; empty when unknown or forgotten (the last kKept are kept).
  std::string Path(int serial) const;

  // Asks the reader to open path (when it is not the current one) and read on from
  // offset, flushing the queues. Returns the request's ticket.
  uint32_t RequestJump(const std::string& path, int64_t offset);
  // Reader: takes a waiting request.
  bool TakeJump(std::string& path, int64_t& offset, uint32_t& ticket);
  // Reader: the request is carried out; frames of generation and later follow it.
  void JumpDone(uint32_t ticket, uint32_t generation);
  // Whether the request with this ticket is carried out, and the first generation after it.
  bool IsJumpDone(uint32_t ticket, uint32_t* generation) const;

  // The user moved the reader elsewhere (seek, another recording): counted so that
  // the video thread does not send it back to the picture it stepped to.
  void NoteMove() { moves_.fetch_add(1, std::memory_order_relaxed); }
  uint32_t Moves() const { return moves_.load(std::memory_order_relaxed); }

private:
  static constexpr int kKept = 64;
  std::atomic<uint32_t> moves_{0};
  mutable std::mutex mutex_;
  int next_ = 0;
  std::string paths_[kKept];

  std::string jumpPath_;
  int64_t jumpOffset_ = 0;
  uint32_t jumpTicket_ = 0;   // last requested
  bool jumpWaiting_ = false;
  std::atomic<uint32_t> doneTicket_{0};
  std::atomic<uint32_t> doneGeneration_{0};
};
