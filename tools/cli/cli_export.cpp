// velmora-cli export: the stretch between two marks as a transport stream or an AVI file.
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

#include "core/find_file_path.h"
#include "core/frame_desc.h"
#include "core/ts_demux.h"
#include "export/avi_file.h"
#include "export/export_text.h"
#include "export/segment_plan.h"
#include "export/ts_backup.h"
#include "tools/cli/commands.h"
#include "tools/cli/output_file.h"
#include "tools/common/recordings.h"

namespace {

// FILE:BYTE, split at the last ':'.
bool ParseMark(const std::string& text, MarkPoint* mark) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  const std::string digits = text.substr(colon + 1);
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 18) return false;
  mark->file = text.substr(0, colon);
  mark->position = std::strtoll(digits.c_str(), nullptr, 10);
  mark->number = CFindFilePath::FileNumber(mark->file);
  return true;
}

bool ParsePositive(const std::string& text, int* value) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::atoi(text.c_str());
  return *value > 0;
}

bool EndsWithNoCase(const std::string& text, const char* tail) {
  const size_t n = std::strlen(tail);
  return text.size() >= n && strncasecmp(text.c_str() + text.size() - n, tail, n) == 0;
}

// The seconds of video a saved file holds; < 0 when unknown. An AVI file says
// so itself; a stream copy is counted in pictures, as each of its recordings'
// time stamps may start again from 0.
double SecondsOf(const std::string& path, bool avi, const std::string& recording) {
  av_log_set_level(AV_LOG_QUIET);
  if (avi) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return -1;
    double seconds = -1;
    if (avformat_find_stream_info(format, nullptr) >= 0 && format->duration > 0)
      seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    avformat_close_input(&format);
    return seconds;
  }
  int width = 0, height = 0, rate = 0;
  if (!ProbeVideoFormat(recording, &width, &height, &rate) || rate <= 0) return -1;
  int64_t pictures = 0;
  DemuxFile(path, [&](TsStream stream, const uint8_t* pes, size_t len) {
    PesHeader h;
    size_t start = 0;
    if (stream == TsStream::Video && ParsePesHeader(pes, len, h) &&
        FindFrameKind(pes + h.payloadOffset, len - h.payloadOffset, &start) != kFrameNone)
      ++pictures;
  });
  return static_cast<double>(pictures) / rate;
}

} // namespace

int RunExport(const CliCommand& self, const ParsedOptions& options) {
  const std::string program = ProgramOf(self);
  ExportRequest request;
  if (!options.Has("--from")) return UsageError(self, "--from FILE:BYTE is missing");
  if (!options.Has("--to")) return UsageError(self, "--to FILE:BYTE is missing");
  if (!ParseMark(options.Value("--from"), &request.start)) return UsageError(self, "--from needs FILE:BYTE");
  if (!ParseMark(options.Value("--to"), &request.end)) return UsageError(self, "--to needs FILE:BYTE");
  if (options.Has("--fps") && !ParsePositive(options.Value("--fps"), &request.frameRate))
    return UsageError(self, "--fps needs a positive whole number");
  if (options.Has("--size")) {
    const std::string s = options.Value("--size");
    const size_t x = s.find('x');
    if (x == std::string::npos || !ParsePositive(s.substr(0, x), &request.width) ||
        !ParsePositive(s.substr(x + 1), &request.height))
      return UsageError(self, "--size needs WIDTHxHEIGHT");
  }
  if (options.operands.empty()) return UsageError(self, "no OUTPUT given");
  if (options.operands.size() > 1) return UsageError(self, "more than one OUTPUT");
  const std::string target = options.operands[0];
  const bool overwrite = options.Has("--overwrite");

  // The extension chooses the format.
  if (!EndsWithNoCase(target, ".nts") && !EndsWithNoCase(target, ".ts") && !EndsWithNoCase(target, ".avi"))
    return UsageError(self, target + ": unknown output type; name it .nts or .ts (the recorded stream) or .avi");

  // Each mark lies inside its recording.
  for (const auto& [option, mark] : {std::pair{"--from", &request.start}, std::pair{"--to", &request.end}}) {
    struct stat st {};
    if (::stat(mark->file.c_str(), &st) != 0) {
      std::fprintf(stderr, "%s: %s: %s\n", program.c_str(), mark->file.c_str(), std::strerror(errno));
      return 1;
    }
    if (!S_ISREG(st.st_mode)) {
      std::fprintf(stderr, "%s: %s is not a recording\n", program.c_str(), mark->file.c_str());
      return 1;
    }
    if (mark->position > static_cast<int64_t>(st.st_size)) {
      std::fprintf(stderr, "%s: %s: byte %lld lies past the end of %s (%lld bytes)\n", program.c_str(), option,
                   static_cast<long long>(mark->position), mark->file.c_str(), static_cast<long long>(st.st_size));
      return 2;
    }
  }
  FileId startId, endId;
  const bool oneRecording = FileIdOf(request.start.file, &startId) && FileIdOf(request.end.file, &endId) &&
                            startId == endId;
  if (!oneRecording && (request.start.number < 0 || request.end.number < 0)) {
    std::fprintf(stderr,
                 "%s: a stretch over several recordings needs numbered recordings (NAME_0001.ts); "
                 "%s has no number\n",
                 program.c_str(), (request.start.number < 0 ? request.start.file : request.end.file).c_str());
    return 2;
  }
  if (!MarksInOrder(request.start, request.end)) {
    std::fprintf(stderr,
                 "%s: the stretch is empty: --from must come before --to (a lower recording number, "
                 "or the same recording and a lower byte)\n",
                 program.c_str());
    return 2;
  }
  SegmentPlan plan;
  const bool planned = plan.Plan(request.start, request.end) == SegmentPlan::Result::Ok;
  std::vector<std::string> inputs = {request.start.file, request.end.file};
  for (const auto& f : plan.Files()) inputs.push_back(f.path);
  if (!OutputFile::MayWrite(program, target, overwrite, inputs)) return 1;

  OutputFile output(target);
  request.output = output.Path();
  CTSBackup job;
  const bool showProgress = ::isatty(STDERR_FILENO) == 1;
  bool progressShown = false; // the job's thread only, until it has ended
  if (showProgress) {
    job.SetProgressCallback([&progressShown](int64_t done, int64_t total) {
      const double mb = 1024.0 * 1024.0;
      std::fprintf(stderr, "\rexport: %3d%%  %.1f of %.1f MB", total > 0 ? static_cast<int>(done * 100 / total) : 100,
                   static_cast<double>(done) / mb, static_cast<double>(total) / mb);
      std::fflush(stderr);
      progressShown = true;
    });
  }

  // SIGINT and SIGTERM stop the job: they are held back from its thread and
  // taken here, so that a stopped export leaves no file behind.
  sigset_t stopSignals, oldMask;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &oldMask);
  const ExportStart started = job.BeginExport(request);
  int signalled = 0;
  if (started == ExportStart::Started) {
    while (!job.HasEnded()) {
      const struct timespec tick = {0, 100 * 1000 * 1000};
      const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
      if (sig > 0) {
        signalled = sig;
        job.Stop();
      }
    }
    job.Wait();
  }
  pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  if (progressShown) std::fputc('\n', stderr);

  auto says = [&](std::string text) {
    // The job speaks of the file it wrote, which is the target's stand-in.
    for (size_t at; (at = text.find(output.Path())) != std::string::npos;) text.replace(at, output.Path().size(), target);
    return text;
  };
  if (started == ExportStart::MarksNotInOrder) {
    std::fprintf(stderr, "%s: the marks enclose no stretch of one folder's numbered recordings\n", program.c_str());
    return 2;
  }
  if (started == ExportStart::EmptyStretch) {
    std::fprintf(stderr, "%s: the stretch is empty: no block of 8192 bytes ends between --from and --to\n",
                 program.c_str());
    return 1;
  }
  if (started != ExportStart::Started) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), says(ExportRefusalText(started, target, EnglishText)).c_str());
    return 1;
  }
  if (signalled) {
    output.Discard();
    std::fprintf(stderr, "%s: stopped by %s; nothing was saved\n", program.c_str(), strsignal(signalled));
    return 128 + signalled;
  }
  const ExportEnd end = job.EndNotice();
  if (end.outcome == ExportOutcome::Failed || end.outcome == ExportOutcome::Stopped || !end.outputKept) {
    output.Discard();
    std::fprintf(stderr, "%s: %s\n", program.c_str(), says(ExportEndText(end, EnglishText)).c_str());
    return 1;
  }
  std::string reason;
  if (!output.Commit(overwrite, &reason)) {
    std::fprintf(stderr, "%s: cannot save %s: %s\n", program.c_str(), target.c_str(), reason.c_str());
    return 1;
  }
  if (end.outcome != ExportOutcome::Finished) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), says(ExportEndText(end, EnglishText)).c_str());
    return 1;
  }
  const size_t recordings = planned ? plan.Files().size() : 1;
  const double seconds = SecondsOf(target, EndsWithNoCase(target, ".avi"), request.start.file);
  std::string length = seconds >= 0 ? std::to_string(static_cast<int>(seconds * 10 + 0.5) / 10) + "." +
                                          std::to_string(static_cast<int>(seconds * 10 + 0.5) % 10) + " s "
                                    : std::string();
  std::printf("Saved %s(%zu recording%s) to %s\n", length.c_str(), recordings, recordings == 1 ? "" : "s",
              target.c_str());
  return 0;
}
