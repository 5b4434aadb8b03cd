// velmora-cli: the player's pipeline from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/cli/commands.h"

namespace {

void Usage(FILE* to) {
  std::fputs("Usage: velmora-cli COMMAND [ARGS]\n"
             "       velmora-cli COMMAND --help\n\n",
             to);
  for (const auto& c : CliCommands()) std::fprintf(to, "  %s %s\n      %s\n", c.name, c.synopsis, c.summary);
  std::fputs("\n  --help, -h    this text\n"
             "  --version     the program's version\n",
             to);
}

} // namespace

const std::vector<CliCommand>& CliCommands() {
  static const std::vector<CliCommand> commands = {
      {"telemetry", "[--gpx|--csv] [-o OUT [--overwrite]] FILE-or-FOLDER...",
       "Writes the GPS track of recordings as GPX 1.1 (default) or CSV.",
       "  --gpx             GPX 1.1 (the default)\n"
       "  --csv             comma-separated values: one row per telemetry text\n"
       "  -o, --output OUT  write to OUT instead of standard output; OUT is replaced\n"
       "                    only when the track holds a point\n"
       "  -y, --overwrite   replace an existing OUT (never a recording of a card)\n"
       "A folder stands for its recordings (or a card's, from its root), in number order.\n",
       {{"--gpx", nullptr, nullptr},
        {"--csv", nullptr, nullptr},
        {"--output", "-o", "a file name"},
        {"--overwrite", "-y", nullptr}},
       RunTelemetry},
      {"list", "FOLDER", "Lists the recordings of a folder or a card: number, times, duration, read-only, path.",
       "FOLDER is a folder of recordings, or a card's root (or its DCIM folder): its\n"
       "media folder is found as the player finds a card's. Files that are not\n"
       "recordings are named on standard error and left out.\n",
       {},
       RunList},
      {"export", "--from FILE:BYTE --to FILE:BYTE [--fps N] [--size WxH] [--overwrite] OUTPUT",
       "Saves the stretch between two marks as a transport stream (.nts, .ts) or an AVI file (.avi).",
       "  --from FILE:BYTE  Mark In: a recording and a byte position in it\n"
       "  --to FILE:BYTE    Mark Out, in the same recording or a later one of its folder\n"
       "  --fps N           the AVI file's frame rate (default: the recording's)\n"
       "  --size WxH        the AVI file's picture size (default: the recording's)\n"
       "  -y, --overwrite   replace an existing OUTPUT (never a recording of a card)\n"
       "OUTPUT's extension chooses the format: .nts or .ts copy the recorded stream,\n"
       ".avi writes an AVI file. Progress is shown on a terminal.\n",
       {{"--from", nullptr, "FILE:BYTE"},
        {"--to", nullptr, "FILE:BYTE"},
        {"--fps", nullptr, "a frame rate"},
        {"--size", nullptr, "WIDTHxHEIGHT"},
        {"--overwrite", "-y", nullptr}},
       RunExport},
      {"camera", "CARD [--write [--time YYYY-MM-DDTHH:MM | --no-time] [NAME=VALUE ...]]",
       "Shows or writes the camera's settings file usrset.dat on a card.",
       "Without --write: shows the settings in CARD's usrset.dat, or says why it is\n"
       "missing or damaged.\n"
       "  --write           starts from that file (or the defaults), applies the changes\n"
       "                    (names and values as the card dialog lists them, any case,\n"
       "                    '_' for a space) and writes it\n"
       "  --time YYYY-MM-DDTHH:MM  the camera's clock is set to this time\n"
       "  --no-time         the camera's clock is left alone\n"
       "Without --time or --no-time the current time is written.\n",
       {{"--write", nullptr, nullptr},
        {"--time", nullptr, "a date and time YYYY-MM-DDTHH:MM"},
        {"--no-time", nullptr, nullptr}},
       RunCamera},
  };
  return commands;
}

std::string ProgramOf(const CliCommand& command) { return std::string("velmora-cli ") + command.name; }

int UsageError(const CliCommand& command, const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "%s: %s\n", ProgramOf(command).c_str(), problem.c_str());
  std::fprintf(stderr, "Usage: %s %s\n", ProgramOf(command).c_str(), command.synopsis);
  return 2;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    Usage(stdout);
    return 0;
  }
  if (first == "--version") {
    PrintVersion("velmora-cli");
    return 0;
  }
  for (const auto& command : CliCommands()) {
    if (first != command.name) continue;
    ParsedOptions options;
    switch (ParseOptions(ProgramOf(command), command.rules, {argv + 2, argv + argc}, &options)) {
      case ParseResult::Help:
        std::printf("Usage: %s %s\n%s\n\n%s", ProgramOf(command).c_str(), command.synopsis, command.summary,
                    command.options);
        return 0;
      case ParseResult::Version: PrintVersion("velmora-cli"); return 0;
      case ParseResult::Error: return 2;
      case ParseResult::Ok: break;
    }
    return command.run(command, options);
  }
  if (first[0] == '-') std::fprintf(stderr, "velmora-cli: unknown option '%s'\n\n", first.c_str());
  else std::fprintf(stderr, "velmora-cli: unknown command '%s'\n\n", first.c_str());
  Usage(stderr);
  return 2;
}
