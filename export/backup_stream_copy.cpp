// The stream copy of an export job: the recorded bytes as they are.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "core/ts_format.h"
#include "export/ts_backup.h"
#include "platform/files.h"

namespace {

constexpr size_t kCopyChunk = 1 << 20;
constexpr int64_t kInKernelChunk = 16 << 20; // between checks of the running flag

// Reads up to size bytes at offset; fewer only at the end of the file. -1 on an error.
ssize_t ReadAt(int fd, uint8_t* buf, size_t size, int64_t offset) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::pread(fd, buf + got, size - got, offset + static_cast<int64_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

} // namespace

bool CTSBackup::OpenOutput(Ending& e) {
  outRegular_ = false;
  outFd_ = ::open(request_.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (outFd_ < 0) {
    e.Set(ExportOutcome::Failed, ExportReason::CannotCreate, {}, ErrorText(errno));
    return false;
  }
  outCreated_ = true;
  struct stat st {};
  if (::fstat(outFd_, &st) == 0) {
    outId_ = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    outRegular_ = S_ISREG(st.st_mode);
  }
  return true;
}

bool CTSBackup::WriteOut(const uint8_t* data, size_t size, Ending& e) {
  while (size > 0) {
    ssize_t n = ::write(outFd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      e.Set(ExportOutcome::Failed, ExportReason::CannotWrite, {}, ErrorText(n < 0 ? errno : ENOSPC));
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

CTSBackup::Ending CTSBackup::RunStreamCopy() {
  Ending e;
  const auto& files = plan_.Files();
  // The start recording's beginning up to and including its program tables,
  // so that the copy can be played from its start. When the stretch begins
  // before the tables' end, the stretch itself carries them.
  int64_t headEnd = 0, tablesEnd = 0;
  StreamPids pids;
  if (job_ == Job::Segment && FindProgramTables(files[0].path, &tablesEnd, &pids)) {
    headEnd = std::min(tablesEnd, files[0].from);
    // A stretch in which no picture begins would give a file that shows nothing.
    if (pids.video >= 0 && plan_.Complete() && !StretchHasPictureStart(plan_, pids.video)) {
      e.Set(ExportOutcome::Failed, ExportReason::NoPicture);
      return e;
    }
  }
  if (!OpenOutput(e)) return e;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[kCopyChunk]);

  // The whole output is reserved at once: the file system lays it out in one
  // piece, and a disk without room for it fails the export before it begins.
  if (outRegular_ && ::fallocate(outFd_, FALLOC_FL_KEEP_SIZE, 0, headEnd + plan_.TotalBytes()) != 0 &&
      (errno == ENOSPC || errno == EFBIG)) {
    e.Set(ExportOutcome::Failed, ExportReason::NotEnoughSpace, {}, ErrorText(errno));
  }

  // Copies [from, to) of a recording. False when the copy cannot go on (e is set).
  bool inKernel = outRegular_;
  auto copy = [&](int fd, size_t index, int64_t from, int64_t to, bool progress) {
    for (int64_t at = from; at < to;) {
      if (!running_) {
        e.Set(ExportOutcome::Stopped, ExportReason::None);
        return false;
      }
      const auto want = static_cast<size_t>(std::min<int64_t>(to - at, static_cast<int64_t>(kCopyChunk)));
      if (inKernel) {
        // The kernel copies between the files without passing the bytes
        // through this process, as cp does. When it cannot (another file
        // system, a device) or fails, the chunk goes the ordinary way, which
        // tells a recording that cannot be read from an output that cannot be written.
        loff_t offset = at;
        const auto most = static_cast<size_t>(std::min<int64_t>(to - at, kInKernelChunk));
        ssize_t n = ::copy_file_range(fd, &offset, outFd_, nullptr, most, 0);
        if (n > 0) {
          at += n;
          if (progress) Report(index, at);
          continue;
        }
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                      errno == EBADF || errno == EPERM))
          inKernel = false;
      }
      ssize_t got = ReadAt(fd, buf.get(), want, at);
      if (got <= 0) {
        e.Set(ExportOutcome::Incomplete, ExportReason::ReadShort, platform::NameOf(files[index].path),
              got < 0 ? ErrorText(errno) : std::string());
        return false;
      }
      if (!WriteOut(buf.get(), static_cast<size_t>(got), e)) return false;
      at += got;
      if (progress) Report(index, at);
    }
    return true;
  };

  bool ok = e.outcome == ExportOutcome::Finished;
  for (size_t i = 0; ok && i < files.size(); ++i) {
    const SegmentFile& f = files[i];
    int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      e.Set(ExportOutcome::Incomplete, ExportReason::CannotOpen, platform::NameOf(f.path), ErrorText(errno));
      ok = false;
      break;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (i == 0) ok = copy(fd, i, 0, headEnd, false);
    if (ok) ok = copy(fd, i, f.from, f.to, true);
    ::close(fd);
  }
  if (ok && !plan_.Complete()) SetMissing(e);

  int fd = outFd_;
  outFd_ = -1;
  // Room reserved past what was written (a job that did not finish) is given back.
  if (outRegular_) {
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (end >= 0 && ::ftruncate(fd, end) != 0 && e.outcome != ExportOutcome::Failed)
      e.Set(ExportOutcome::Failed, ExportReason::CannotWrite, {}, ErrorText(errno));
  }
  if (::close(fd) != 0 && e.outcome != ExportOutcome::Failed)
    e.Set(ExportOutcome::Failed, ExportReason::CannotWrite, {}, ErrorText(errno));
  return e;
}
