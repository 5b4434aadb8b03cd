// Export throughput on 1080p recordings from the page cache (every input is
// read once before the runs): the stream copy of a stretch against cp of the
// same recordings, and the AVI export against ffmpeg writing the same AVI
// (video copied, sound to 16-bit mono 48 kHz PCM). Each figure is the best of
// five runs; dirty pages are written back (sync) before each run. Also checks
// that an AVI export over 1 GiB (OpenDML) reads back whole.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "core/find_file_path.h"
#include "export/export_text.h"
#include "export/ts_backup.h"

namespace fs = std::filesystem;

namespace {

MarkPoint Mark(const std::string& path, int64_t position) {
  return {CFindFilePath::FileNumber(path), path, position};
}

// Runs an export to its end; seconds taken, or a negative value when it failed.
double TimeExport(const ExportRequest& request) {
  CTSBackup job;
  auto start = std::chrono::steady_clock::now();
  if (job.BeginExport(request) != ExportStart::Started) return -1;
  job.Wait();
  const double seconds = bench::Seconds(start);
  const ExportEnd end = job.EndNotice();
  if (end.outcome != ExportOutcome::Finished) {
    std::fprintf(stderr, "export failed: %s\n", ExportEndText(end, EnglishText).c_str());
    return -1;
  }
  return seconds;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Capture(const std::string& command) {
  std::string out;
  bench::Run(command, &out);
  return out;
}

} // namespace

int main() {
  // The reader benchmark's card: five one-minute 1080p recordings at 16 Mbit/s.
  const auto files = bench::FilesOf(
      bench::CachedCard("reader-1080p", "--files 5 --seconds 60 --size 1920x1080 --bitrate 16000 --gop 30"));
  if (files.size() < 5) return std::fprintf(stderr, "the sample card is not complete\n"), 1;
  const std::vector<std::string> four(files.begin(), files.begin() + 4);
  bench::WarmUp(files);

  const fs::path work = fs::path(bench::CacheFolder()) / ("export-out." + std::to_string(::getpid()));
  fs::create_directories(work);

  // The stretch: the first four recordings whole, from Mark In at the start of
  // the first to Mark Out at the end of the fourth.
  ExportRequest request;
  request.start = Mark(four.front(), 0);
  request.end = Mark(four.back(), static_cast<int64_t>(fs::file_size(four.back())));
  const double mb = static_cast<double>(bench::TotalBytes(four)) / 1e6;

  double copy = 1e9, cp = 1e9, avi = 1e9, peer = 1e9;
  for (int run = 0; run < 5; ++run) {
    request.output = (work / "segment.nts").string();
    std::system("sync");
    double t = TimeExport(request);
    if (t < 0) return 1;
    copy = std::min(copy, t);
    fs::remove(request.output);

    fs::create_directories(work / "cp");
    std::system("sync");
    std::string cpCommand = "cp";
    for (const auto& f : four) cpCommand += " " + Quote(f);
    cp = std::min(cp, bench::TimeCommand(cpCommand + " " + Quote((work / "cp").string())));
    fs::remove_all(work / "cp");

    request.output = (work / "segment.avi").string();
    std::system("sync");
    t = TimeExport(request);
    if (t < 0) return 1;
    avi = std::min(avi, t);
    fs::remove(request.output);

    std::string concat = "concat:";
    for (size_t i = 0; i < four.size(); ++i) concat += (i ? "|" : "") + four[i];
    std::system("sync");
    peer = std::min(peer, bench::TimeCommand("ffmpeg -nostdin -y -v error -i " + Quote(concat) +
                                             " -map 0:v -map 0:a -c:v copy -c:a pcm_s16le -ac 1 -ar 48000 " +
                                             Quote((work / "peer.avi").string())));
    fs::remove(work / "peer.avi");
  }

  // Over 1 GiB: ten recordings in a row (the five twice, by links numbered on).
  const fs::path chain = work / "chain";
  fs::create_directories(chain);
  std::vector<std::string> links;
  for (int i = 0; i < 10; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "20240601_%06d_%04d.ts", 80000 + i * 100, i + 1);
    fs::create_symlink(files[static_cast<size_t>(i % 5)], chain / name);
    links.push_back((chain / name).string());
  }
  ExportRequest large;
  large.output = (work / "large.avi").string();
  large.start = Mark(links.front(), 0);
  large.end = Mark(links.back(), static_cast<int64_t>(fs::file_size(links.back())) + 1);
  if (TimeExport(large) < 0) return 1;
  const double largeMb = static_cast<double>(fs::file_size(large.output)) / 1e6;
  std::string frames = Capture("ffprobe -v error -count_packets -select_streams v -show_entries stream=nb_read_packets "
                               "-of csv=p=0 " + Quote(large.output));
  std::string wantFrames = Capture("ffprobe -v error -count_packets -select_streams v -show_entries "
                                   "stream=nb_read_packets -of csv=p=0 " + Quote(files[0]));
  std::string errors = Capture("ffmpeg -nostdin -v error -i " + Quote(large.output) + " -c copy -f null - 2>&1");
  const long got = std::atol(frames.c_str()), perFile = std::atol(wantFrames.c_str());
  fs::remove_all(work);

  std::printf("export_input: %.0f MB\n", mb);
  std::printf("avi_over_1gib_size: %.0f MB\n", largeMb);
  std::printf("avi_over_1gib_frames: %ld of %ld\n", got, perFile * 10 - 1);
  std::printf("avi_over_1gib_valid: %d\n", got == perFile * 10 - 1 && errors.empty() ? 1 : 0);
  std::printf("export_avi: %.0f MB/s\n", mb / avi);
  std::printf("ffmpeg_avi: %.0f MB/s\n", mb / peer);
  std::printf("export_avi_ratio: %.2f\n", peer / avi);
  std::printf("export_copy: %.0f MB/s\n", mb / copy);
  std::printf("cp: %.0f MB/s\n", mb / cp);
  std::printf("export_copy_ratio: %.2f\n", cp / copy);
  return 0;
}
