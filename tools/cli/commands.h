#pragma once
#include <string>
#include <vector>

// The commands of velmora-cli. Each takes the arguments after its name and
// returns the process exit status: 0 done, 1 failed, 2 bad arguments.
int RunTelemetry(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunCamera(const std::vector<std::string>& args);

// The recordings named on a command line: a folder gives its ".ts" files in
// recording-number order, a file itself. Missing paths are reported on
// standard error and left out; *ok turns false when there was one.
std::vector<std::string> RecordingsOf(const std::vector<std::string>& paths, bool* ok);
