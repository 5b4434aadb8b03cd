// velmora-cli export: the stretch between two marks as a transport stream or an AVI file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "core/find_file_path.h"
#include "export/export_text.h"
#include "export/ts_backup.h"
#include "tools/cli/commands.h"

namespace {

constexpr const char* kUsage =
    "Usage: velmora-cli export --from FILE:BYTE --to FILE:BYTE [--fps N] [--size WxH] OUTPUT\n";

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

} // namespace

int RunExport(const std::vector<std::string>& args) {
  ExportRequest request;
  bool haveFrom = false, haveTo = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--from" && hasValue) {
      haveFrom = ParseMark(args[++i], &request.start);
      if (!haveFrom) return std::fprintf(stderr, "velmora-cli export: --from wants FILE:BYTE\n"), 2;
    } else if (a == "--to" && hasValue) {
      haveTo = ParseMark(args[++i], &request.end);
      if (!haveTo) return std::fprintf(stderr, "velmora-cli export: --to wants FILE:BYTE\n"), 2;
    } else if (a == "--fps" && hasValue) {
      if (!ParsePositive(args[++i], &request.frameRate))
        return std::fprintf(stderr, "velmora-cli export: --fps wants a positive number\n"), 2;
    } else if (a == "--size" && hasValue) {
      const std::string& s = args[++i];
      size_t x = s.find('x');
      if (x == std::string::npos || !ParsePositive(s.substr(0, x), &request.width) ||
          !ParsePositive(s.substr(x + 1), &request.height))
        return std::fprintf(stderr, "velmora-cli export: --size wants WIDTHxHEIGHT\n"), 2;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "velmora-cli export: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    } else if (request.output.empty()) {
      request.output = a;
    } else {
      std::fprintf(stderr, "velmora-cli export: more than one output\n%s", kUsage);
      return 2;
    }
  }
  if (!haveFrom || !haveTo || request.output.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  CTSBackup job;
  const bool showProgress = ::isatty(STDERR_FILENO) == 1;
  bool progressShown = false; // the job's thread only, until Wait returns
  if (showProgress) {
    job.SetProgressCallback([&progressShown](int64_t done, int64_t total) {
      const double mb = 1024.0 * 1024.0;
      std::fprintf(stderr, "\rexport: %3d%%  %.1f of %.1f MB", total > 0 ? static_cast<int>(done * 100 / total) : 100,
                   static_cast<double>(done) / mb, static_cast<double>(total) / mb);
      std::fflush(stderr);
      progressShown = true;
    });
  }
  ExportStart started = job.BeginExport(request);
  if (started == ExportStart::MarksNotInOrder) {
    std::fputs("velmora-cli export: the stretch is empty: --from must come before --to (a lower recording number, "
               "or the same recording and a lower byte)\n",
               stderr);
    return 2;
  }
  if (started != ExportStart::Started) {
    std::fprintf(stderr, "velmora-cli export: %s\n", ExportRefusalText(started, request.output, EnglishText).c_str());
    return 1;
  }
  job.Wait();
  if (progressShown) std::fputc('\n', stderr);
  const ExportEnd end = job.EndNotice();
  const std::string text = ExportEndText(end, EnglishText);
  if (end.outcome == ExportOutcome::Finished) {
    std::printf("%s\n", text.c_str());
    return 0;
  }
  std::fprintf(stderr, "velmora-cli export: %s\n", text.c_str());
  return 1;
}
