// Listing a card of 1000 recordings with CFindFilePath::ScanNow, warm cache.
#include <cstdio>
#include <filesystem>

#include "bench/bench_common.h"
#include "core/find_file_path.h"

int main() {
  // A small recording copied 1000 times under numbered names.
  std::string source = bench::FilesOf(bench::CachedCard("index-source", "--files 1 --seconds 2 --size 320x240"))[0];
  std::string folder = bench::CacheFolder() + "/index-1000/DCIM/100MEDIA";
  if (!std::filesystem::exists(folder + "/20240601_090000_1000.ts")) {
    std::filesystem::create_directories(folder);
    for (int n = 1; n <= 1000; ++n) {
      char name[64];
      std::snprintf(name, sizeof name, "/20240601_%06d_%04d.ts", 80000 + n, n);
      std::filesystem::copy_file(source, folder + name, std::filesystem::copy_options::overwrite_existing);
    }
  }
  CFindFilePath list;
  list.ScanNow(folder + "/x_0001.ts"); // warms the cache
  constexpr int kRuns = 5;
  double best = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    auto start = std::chrono::steady_clock::now();
    list.ScanNow(folder + "/x_0001.ts");
    best = std::min(best, bench::Seconds(start));
  }
  std::printf("index_recordings: %zu recordings\n", list.Entries().size());
  std::printf("index_scan_1000: %.1f ms\n", best * 1000);
  return 0;
}
