#include "export/ts_backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "core/my_thread.h"
#include "platform/files.h"

namespace {

constexpr int64_t kReportStep = 1 << 20;

} // namespace

std::string CTSBackup::ErrorText(int err) { return std::strerror(err); }

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
  if (plan_.Complete() && plan_.TotalBytes() == 0) return ExportStart::EmptyStretch;
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
    // Nor is any other recording of the folder replaced.
    std::string folder = platform::FolderOf(plan_.Files().front().path);
    if (folder.empty()) folder = "./";
    for (const char* pattern : {"*.ts", "*.nts"})
      for (const auto& f : platform::FindFiles(folder + pattern)) {
        FileId id;
        if (!f.isDirectory && FileIdOf(f.path, &id) && id == out) return ExportStart::OutputIsRecording;
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
  cancelled_ = false;
  if (!StartThread(thread_, running_, [this] { ThreadMain(); })) return ExportStart::NoThread;
  return ExportStart::Started;
}

void CTSBackup::Stop() {
  running_ = false;
  Wait();
}

void CTSBackup::Cancel() {
  cancelled_ = true;
  Stop();
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
    case ExportOutcome::Stopped:
      if (cancelled_.load() && outCreated_ && RemoveOutput()) outRegular_ = false;
      break;
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

