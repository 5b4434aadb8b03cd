#include "core/ts_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

TsFile::TsFile() : window_(new uint8_t[kWindowSize]), block_(new uint8_t[kBlockSize]) {}

TsFile::~TsFile() { Close(); }

bool TsFile::Open(const std::string& path, bool backward) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0) {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
      size_ = st.st_size;
    } else {
      ::close(fd_);
      fd_ = -1;
    }
  }
  position_ = backward ? size_ : 0;
  return fd_ >= 0;
}

void TsFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
  position_ = 0;
}

void TsFile::DropWindow(bool backward) {
  count_ = 0;
  offset_ = backward ? kWindowSize - 1 : 0;
}

int TsFile::ReadBlock(int64_t at) {
  if (fd_ < 0) return 0;
  for (;;) {
    ssize_t n = ::pread(fd_, block_.get(), kBlockSize, at);
    if (n < 0 && errno == EINTR) continue;
    return static_cast<int>(n);
  }
}

int TsFile::FillForward() {
  uint8_t* w = window_.get();
  if (count_ > 0 && offset_ > 0) std::memmove(w, w + offset_, static_cast<size_t>(count_));
  offset_ = 0;
  windowBase_ = position_ - count_;
  int got = ReadBlock(position_);
  if (got <= 0) return 0;
  position_ += got;
  std::memcpy(w + count_, block_.get(), static_cast<size_t>(got));
  count_ += got;
  return got;
}

int TsFile::FillBackward() {
  uint8_t* w = window_.get();
  if (count_ > 0 && offset_ != kWindowSize - 1)
    std::memmove(w + kWindowSize - count_, w + offset_ - count_ + 1, static_cast<size_t>(count_));
  offset_ = kWindowSize - 1;
  position_ -= position_ < kBackStep ? position_ : kBackStep;
  int got = ReadBlock(position_);
  if (got <= 0) return 0; // truncated under us, or unreadable: taken as the start
  position_ += got;
  if (position_ <= got) return 0;
  std::memcpy(w + kWindowSize - count_ - got, block_.get(), static_cast<size_t>(got));
  count_ += got;
  windowBase_ = position_ - got - (kWindowSize - count_);
  return got;
}
