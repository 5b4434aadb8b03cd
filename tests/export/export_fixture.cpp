#include "tests/export/export_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "core/find_file_path.h"
#include "tests/support/test_support.h"

namespace exporttest {

namespace fs = std::filesystem;

const std::vector<std::string>& Recordings() {
  static const std::vector<std::string> files = [] {
    const std::string args = "--files 4 --seconds 10 --size 320x240 --gop 15";
    const fs::path cache = fs::path(testsupport::BinDir()) / ".." / "test-cache" / "export-card";
    const fs::path folder = cache / "DCIM" / "100MEDIA";
    if (!fs::exists(folder)) {
      // Made aside and moved in whole, so that tests running at the same time
      // never see half a card.
      fs::create_directories(cache.parent_path());
      const fs::path aside = cache.string() + ".tmp" + std::to_string(::getpid());
      testsupport::MakeSampleCard(aside.string(), args);
      std::error_code ec;
      fs::rename(aside, cache, ec);
      if (ec) fs::remove_all(aside);
    }
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(fs::canonical(e.path()).string());
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return CFindFilePath::FileNumber(a) < CFindFilePath::FileNumber(b); });
    if (out.size() != 4) throw std::runtime_error("the export test card is not complete: " + folder.string());
    return out;
  }();
  return files;
}

int64_t SizeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

std::string Slice(const std::string& path, int64_t from, int64_t to) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(from);
  std::string bytes(static_cast<size_t>(to - from), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

MarkPoint Mark(const std::string& path, int64_t position) {
  return {CFindFilePath::FileNumber(path), path, position};
}

JobRun RunExport(const ExportRequest& request) {
  JobRun run;
  std::mutex mutex;
  CTSBackup job;
  job.SetProgressCallback([&](int64_t done, int64_t total) {
    std::lock_guard lock(mutex);
    run.progress.emplace_back(done, total);
  });
  job.SetEndCallback([&](const ExportEnd& end) {
    std::lock_guard lock(mutex);
    run.end = end;
    ++run.endCalls;
  });
  run.start = job.BeginExport(request);
  job.Wait();
  run.text = ExportEndText(run.end, EnglishText);
  return run;
}

} // namespace exporttest
