// velmora-cli: the player's pipeline from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/cli/commands.h"

namespace {

void Usage(FILE* to) {
  std::fputs(
      "Usage: velmora-cli COMMAND [ARGS]\n"
      "\n"
      "  telemetry [--gpx|--csv] [-o OUT] FILE-or-FOLDER...\n"
      "      Writes the GPS track of recordings as GPX 1.1 (default) or CSV, to OUT or\n"
      "      standard output; a folder's recordings are taken in number order.\n"
      "  list FOLDER\n"
      "      Lists the recordings of a folder: number, start and end time, duration,\n"
      "      read-only, path.\n"
      "  export --from FILE:BYTE --to FILE:BYTE [--fps N] [--size WxH] OUTPUT\n"
      "      Saves the stretch between two marks (a recording and a byte offset in it)\n"
      "      as a transport stream, or as an AVI file when OUTPUT ends in .avi (any\n"
      "      case). The AVI's frame rate and picture size come from the recording\n"
      "      unless given. Shows progress on a terminal.\n"
      "  camera CARD [--write [--time YYYY-MM-DDTHH:MM | --no-time] [NAME=VALUE ...]]\n"
      "      Shows the camera settings in the card's usrset.dat, or says why it is\n"
      "      missing or damaged. --write starts from that file (or the defaults),\n"
      "      applies the changes (names and values as the card dialog lists them,\n"
      "      any case, '_' for a space) and writes it; the camera's clock is set to\n"
      "      --time, left alone with --no-time, else the current time is written.\n",
      to);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "telemetry") return RunTelemetry(args);
  if (command == "list") return RunList(args);
  if (command == "export") return RunExport(args);
  if (command == "camera") return RunCamera(args);
  std::fprintf(stderr, "velmora-cli: unknown command '%s'\n\n", command.c_str());
  Usage(stderr);
  return 2;
}
