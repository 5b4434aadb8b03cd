#include "export/ts_backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/aac_decoder.h"
#include "core/frame_desc.h"
#include "core/ts_demux.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "export/avi_file.h"

namespace {

constexpr size_t kCopyChunk = 1 << 20;
constexpr int64_t kInKernelChunk = 16 << 20; // between checks of the running flag
constexpr int64_t kReportStep = 1 << 20;
// AVI mode starts reading this far before the first block of the stretch, so
// that the PES packets cut inside the stretch are complete.
constexpr int64_t kAviLeadIn = 4 << 20;
// The largest PES taken: video as the reader takes it, audio 1 MiB.
constexpr size_t kVideoCollection = TsDemux::kVideoPesCapacity;
constexpr size_t kAudioCollection = TsDemux::kPesCapacity;

std::string Errno(int err) { return std::strerror(err); }

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

std::string NameOf(const std::string& path) {
  size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

// Takes the video and audio PES packets of the stretch into an AVI file: each
// video PES with a slice is one frame, from the start code that begins it; the
// audio is decoded to PCM. A PES counts when the read position at which it is
// cut (when the next PES of its stream begins) belongs to the stretch.
class AviFrames {
public:
  AviFrames(CAviFile& avi, AacDecoder& decoder, const SegmentPlan& plan, const StreamPids& pids)
      : avi_(avi), decoder_(decoder), plan_(plan), pids_(pids) {
    pcm_.reserve(48000);
  }

  // One transport packet, walked in file index of the plan with the read
  // position pos after the last block read.
  void Packet(const uint8_t* packet, size_t index, int64_t pos) {
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

  // Mark Out has been passed.
  bool Finished() const { return finished_; }
  // A write failed (see the file's Error()).
  bool Failed() const { return failed_; }
  // A picture has been written.
  bool HasPicture() const { return pictureStarted_; }

private:
  struct Collection {
    explicit Collection(size_t size) : data(new uint8_t[size]), capacity(size) {}
    std::unique_ptr<uint8_t[]> data;
    size_t capacity;
    size_t count = 0;
    bool overflow = false;
    uint64_t startSeq = 0; // which packet of the two streams began it
  };
  struct Pending {
    uint64_t startSeq;
    std::vector<uint8_t> es;
  };

  void Cut(int which, size_t index, int64_t pos) {
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

  void WriteAudio(const uint8_t* es, size_t size) {
    pcm_.clear();
    decoder_.Decode(es, size, pcm_); // a frame that does not decode adds no samples
    if (!pcm_.empty() && !avi_.WriteAudio(reinterpret_cast<const uint8_t*>(pcm_.data()), pcm_.size() * 2))
      failed_ = true;
  }

  CAviFile& avi_;
  AacDecoder& decoder_;
  const SegmentPlan& plan_;
  const StreamPids pids_;
  Collection collections_[2] = {Collection(kVideoCollection), Collection(kAudioCollection)};
  uint64_t seq_ = 0;
  bool pictureStarted_ = false;
  uint64_t pictureSeq_ = 0;
  std::vector<Pending> pending_;
  std::vector<int16_t> pcm_;
  bool finished_ = false;
  bool failed_ = false;
};

} // namespace

CTSBackup::~CTSBackup() { Stop(); }

ExportStart CTSBackup::BeginExport(const ExportRequest& request) {
  Stop();
  request_ = request;
  mode_ = ExportModeFor(request.output);
  job_ = Job::Segment;
  if (!MarksInOrder(request.start, request.end)) return ExportStart::MarksNotInOrder;
  switch (plan_.Plan(request.start, request.end)) {
    case SegmentPlan::Result::Ok: break;
    case SegmentPlan::Result::MarksNotInOrder: return ExportStart::MarksNotInOrder;
    case SegmentPlan::Result::MarksInDifferentFolders: return ExportStart::MarksInDifferentFolders;
    case SegmentPlan::Result::StartMissing: return ExportStart::StartMissing;
  }
  return Launch();
}

ExportStart CTSBackup::BeginCopy(const std::string& recording, const std::string& output) {
  Stop();
  request_ = ExportRequest{};
  request_.output = output;
  request_.start.file = request_.end.file = recording;
  mode_ = ExportMode::StreamCopy;
  job_ = Job::WholeFile;
  if (plan_.PlanWholeFile(recording) != SegmentPlan::Result::Ok) return ExportStart::StartMissing;
  return Launch();
}

ExportStart CTSBackup::Launch() {
  // Writing onto a recording of the stretch (or onto either mark's recording)
  // would destroy it before it is read.
  FileId out;
  if (FileIdOf(request_.output, &out)) {
    for (const auto& f : plan_.Files())
      if (f.id == out) return ExportStart::OutputIsSource;
    for (const auto* mark : {&request_.start, &request_.end}) {
      FileId id;
      if (FileIdOf(mark->file, &id) && id == out) return ExportStart::OutputIsSource;
    }
  }
  {
    std::lock_guard lock(endMutex_);
    end_ = ExportEnd{};
    end_.output = request_.output;
  }
  done_ = 0;
  total_ = plan_.TotalBytes();
  reportedAt_ = -1;
  ended_ = false;
  running_ = true;
  try {
    thread_ = std::thread([this] { ThreadMain(); });
  } catch (const std::system_error&) {
    running_ = false;
    return ExportStart::NoThread;
  }
  return ExportStart::Started;
}

void CTSBackup::Stop() {
  running_ = false;
  Wait();
}

void CTSBackup::Wait() {
  // From the job's own callbacks there is nothing to wait for: the loop ends
  // once they return.
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

ExportEnd CTSBackup::EndNotice() const {
  std::lock_guard lock(endMutex_);
  return end_;
}

void CTSBackup::ThreadMain() {
  Run();
  running_ = false;
  ended_ = true;
  if (onEnd_) onEnd_(EndNotice());
}

void CTSBackup::Report(size_t file, int64_t pos) {
  const int64_t done = plan_.BytesBefore(file, pos);
  done_ = done;
  if (reportedAt_ >= 0 && done - reportedAt_ < kReportStep && done < total_.load()) return;
  reportedAt_ = done;
  if (onProgress_) onProgress_(done, total_.load());
}

void CTSBackup::SetMissing(Ending& e) const {
  e.Set(ExportOutcome::Incomplete, ExportReason::RecordingMissing, std::to_string(plan_.MissingNumber()));
}

void CTSBackup::Run() {
  outCreated_ = outRegular_ = false;
  Ending e = mode_ == ExportMode::Avi ? RunAvi() : RunStreamCopy();
  ExportEnd end;
  end.outcome = e.outcome;
  end.output = request_.output;
  end.reason = e.reason;
  end.subject = e.subject;
  end.detail = e.detail;
  switch (e.outcome) {
    case ExportOutcome::Finished:
      done_ = total_.load();
      if (onProgress_ && reportedAt_ != total_.load()) onProgress_(done_.load(), total_.load());
      break;
    case ExportOutcome::Incomplete: break;
    case ExportOutcome::Failed:
      if (outCreated_) {
        end.outputCreated = true;
        end.outputRemoved = RemoveOutput();
        if (end.outputRemoved) outRegular_ = false;
      }
      break;
    case ExportOutcome::Stopped: break;
  }
  struct stat st {};
  end.outputKept = outRegular_ && ::stat(request_.output.c_str(), &st) == 0;
  end.bytesWritten = end.outputKept ? static_cast<int64_t>(st.st_size) : 0;
  std::lock_guard lock(endMutex_);
  end_ = end;
}

bool CTSBackup::RemoveOutput() {
  // Only a regular file this job created, and only while the path still leads to it.
  FileId now;
  bool regular = false;
  if (!outRegular_ || !FileIdOf(request_.output, &now, &regular) || !regular || !(now == outId_)) return false;
  return ::unlink(request_.output.c_str()) == 0;
}

bool CTSBackup::OpenOutput(Ending& e) {
  outRegular_ = false;
  outFd_ = ::open(request_.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (outFd_ < 0) {
    e.Set(ExportOutcome::Failed, ExportReason::CannotCreate, {}, Errno(errno));
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
      e.Set(ExportOutcome::Failed, ExportReason::CannotWrite, {}, Errno(n < 0 ? errno : ENOSPC));
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

CTSBackup::Ending CTSBackup::RunStreamCopy() {
  Ending e;
  if (!OpenOutput(e)) return e;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[kCopyChunk]);
  const auto& files = plan_.Files();

  // The start recording's beginning up to and including its program tables,
  // so that the copy can be played from its start. When the stretch begins
  // before the tables' end, the stretch itself carries them.
  int64_t headEnd = 0, tablesEnd = 0;
  StreamPids pids;
  if (job_ == Job::Segment && FindProgramTables(files[0].path, &tablesEnd, &pids))
    headEnd = std::min(tablesEnd, files[0].from);

  // The whole output is reserved at once: the file system lays it out in one
  // piece, and a disk without room for it fails the export before it begins.
  if (outRegular_ && ::fallocate(outFd_, FALLOC_FL_KEEP_SIZE, 0, headEnd + plan_.TotalBytes()) != 0 &&
      (errno == ENOSPC || errno == EFBIG)) {
    e.Set(ExportOutcome::Failed, ExportReason::NotEnoughSpace, {}, Errno(errno));
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
        e.Set(ExportOutcome::Incomplete, ExportReason::ReadShort, NameOf(files[index].path),
              got < 0 ? Errno(errno) : std::string());
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
      e.Set(ExportOutcome::Incomplete, ExportReason::CannotOpen, NameOf(f.path), Errno(errno));
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
      e.Set(ExportOutcome::Failed, ExportReason::CannotWrite, {}, Errno(errno));
  }
  if (::close(fd) != 0 && e.outcome != ExportOutcome::Failed)
    e.Set(ExportOutcome::Failed, ExportReason::CannotWrite, {}, Errno(errno));
  return e;
}

CTSBackup::Ending CTSBackup::RunAvi() {
  Ending e;
  const auto& files = plan_.Files();
  int64_t tablesEnd = 0;
  StreamPids pids;
  if (!FindProgramTables(files[0].path, &tablesEnd, &pids)) {
    e.Set(ExportOutcome::Failed, ExportReason::NoProgramTables, NameOf(files[0].path));
    return e;
  }
  int width = request_.width, height = request_.height, rate = request_.frameRate;
  {
    int w = 0, h = 0, r = 0, codec = kCodecH264;
    if (ProbeVideoFormat(files[0].path, &w, &h, &r, &codec)) {
      if (width <= 0 || height <= 0) width = w, height = h;
      if (rate <= 0) rate = r;
    }
  }

  CAviFile avi;
  if (!avi.Create(request_.output, width, height, rate, pids.videoCodec)) {
    // A file the muxer created before failing is removed below, when it is a regular file.
    outCreated_ = avi.FileCreated() && FileIdOf(request_.output, &outId_, &outRegular_);
    e.Set(ExportOutcome::Failed, ExportReason::CannotCreate, {}, avi.Error());
    return e;
  }
  outCreated_ = FileIdOf(request_.output, &outId_, &outRegular_);
  AacDecoder decoder;
  if (!decoder.Open()) {
    avi.Abandon();
    e.Set(ExportOutcome::Failed, ExportReason::NoAacDecoder);
    return e;
  }

  AviFrames frames(avi, decoder, plan_, pids);
  TsFile file;
  bool finished = false;
  auto keepGoing = [&] { return running_.load(std::memory_order_relaxed) && !frames.Finished() && !frames.Failed(); };
  for (size_t index = 0; index < files.size() && keepGoing(); ++index) {
    const SegmentFile& f = files[index];
    if (!file.Open(f.path, false)) {
      e.Set(ExportOutcome::Incomplete, ExportReason::CannotOpen, NameOf(f.path), Errno(errno));
      break;
    }
    if (index == 0) {
      file.SeekTo(std::max<int64_t>(0, f.from - kAviLeadIn) / SegmentPlan::kBlock * SegmentPlan::kBlock);
      file.DropWindow(false);
    }
    // Bytes left in the window at the end of a recording are walked with the next one.
    while (keepGoing() && file.FillForward() > 0) {
      const int64_t pos = file.Position();
      file.WalkForward([&](const uint8_t* packet) { frames.Packet(packet, index, pos); return true; }, keepGoing);
      Report(index, pos);
    }
    if (!keepGoing()) break;
    if (file.Position() < f.size) {
      e.Set(ExportOutcome::Incomplete, ExportReason::ReadShort, NameOf(f.path));
      break;
    }
    if (plan_.IsEnd(index)) finished = true; // Mark Out lies at or past the end of its recording
  }
  finished = finished || frames.Finished();
  if (frames.Failed()) e.Set(ExportOutcome::Failed, ExportReason::WriterFailed, {}, avi.Error());
  // A stretch that gave no picture (no key frame in it, or frames that could
  // not be taken) makes no usable file: that is a failure, not a finish.
  else if (!frames.HasPicture() && (e.outcome == ExportOutcome::Finished || e.outcome == ExportOutcome::Incomplete))
    e.Set(ExportOutcome::Failed, ExportReason::NoPictures);
  else if (!running_ && !finished && e.outcome == ExportOutcome::Finished) e.Set(ExportOutcome::Stopped, ExportReason::None);
  else if (e.outcome == ExportOutcome::Finished && !finished) SetMissing(e);

  if (e.outcome == ExportOutcome::Failed) {
    avi.Abandon();
  } else if (!avi.Close()) {
    e.Set(ExportOutcome::Failed, ExportReason::WriterFailed, {}, avi.Error());
  }
  return e;
}
