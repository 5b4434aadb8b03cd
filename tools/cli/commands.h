#pragma once
// The commands of velmora-cli: one table row each (main.cpp), with the text
// that its --help prints. Each takes the arguments after its name and returns
// the process exit status: 0 done, 1 failed, 2 bad arguments.
#include <string>
#include <vector>

#include "tools/common/options.h"

struct CliCommand {
  const char* name;
  const char* synopsis; // the arguments after the name
  const char* summary;  // what it does, for velmora-cli --help
  const char* options;  // the command's options, for velmora-cli COMMAND --help
  std::vector<OptionRule> rules;
  int (*run)(const CliCommand& self, const ParsedOptions& options);
};

const std::vector<CliCommand>& CliCommands();

int RunTelemetry(const CliCommand& self, const ParsedOptions& options);
int RunList(const CliCommand& self, const ParsedOptions& options);
int RunExport(const CliCommand& self, const ParsedOptions& options);
int RunCamera(const CliCommand& self, const ParsedOptions& options);

// "velmora-cli NAME", the prefix of the command's messages.
std::string ProgramOf(const CliCommand& command);
// The usage line of a command, on standard error, for bad arguments (returns 2).
int UsageError(const CliCommand& command, const std::string& problem);

// The recordings named on a command line: a folder gives the recordings of its
// media folder (see MediaFolderOf), ".ts" and ".nts", in recording-number
// order; a file itself. Missing paths and folders without recordings are
// reported on standard error and left out; *ok turns false when there was one.
std::vector<std::string> RecordingsOf(const std::string& program, const std::vector<std::string>& paths, bool* ok);
