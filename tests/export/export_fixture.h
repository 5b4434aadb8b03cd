#pragma once
// What the export tests share: a sample card (made once per build folder and
// then reused, as the same arguments give the same bytes), file helpers, and
// running an export job to its end.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "export/export_text.h"
#include "export/ts_backup.h"

namespace exporttest {

// The four recordings of the shared card (numbers 1 to 4, 320x240, 30 frames
// per second, a key frame every 15, 10 seconds each), in number order. Tests
// never write into its folder.
const std::vector<std::string>& Recordings();

int64_t SizeOf(const std::string& path);
// Bytes [from, to) of a file.
std::string Slice(const std::string& path, int64_t from, int64_t to);

MarkPoint Mark(const std::string& path, int64_t position);

struct JobRun {
  ExportStart start = ExportStart::Started;
  ExportEnd end;                                  // as handed to the end callback
  std::string text;                               // its English text
  int endCalls = 0;
  std::vector<std::pair<int64_t, int64_t>> progress; // (done, total) as reported
};
// Runs a job to its end (or to its refusal).
JobRun RunExport(const ExportRequest& request);

} // namespace exporttest
