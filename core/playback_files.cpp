#include "core/playback_files.h"

int PlaybackFiles::Register(const std::string& path) {
  std::lock_guard lock(mutex_);
  ++next_;
  paths_[next_ % kKept] = path;
  return next_;
}

std::string PlaybackFiles::Path(int serial) const {
  std::lock_guard lock(mutex_);
  if (serial <= 0 || serial > next_ || next_ - serial >= kKept) return {};
  return paths_[serial % kKept];
}

uint32_t PlaybackFiles::RequestJump(const std::string& path, int64_t offset) {
  std::lock_guard lock(mutex_);
  jumpPath_ = path;
  jumpOffset_ = offset;
  jumpWaiting_ = true;
  return ++jumpTicket_;
}

bool PlaybackFiles::TakeJump(std::string& path, int64_t& offset, uint32_t& ticket) {
  std::lock_guard lock(mutex_);
  if (!jumpWaiting_) return false;
  jumpWaiting_ = false;
  path = jumpPath_;
  offset = jumpOffset_;
  ticket = jumpTicket_;
  return true;
}

void PlaybackFiles::JumpDone(uint32_t ticket, uint32_t generation) {
  doneGeneration_.store(generation, std::memory_order_relaxed);
  doneTicket_.store(ticket, std::memory_order_release);
}

bool PlaybackFiles::IsJumpDone(uint32_t ticket, uint32_t* generation) const {
  if (doneTicket_.load(std::memory_order_acquire) != ticket) return false;
  *generation = doneGeneration_.load(std::memory_order_relaxed);
  return true;
}
