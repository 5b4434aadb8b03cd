// velmora-cli telemetry: the GPS track of recordings as GPX or CSV.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "core/ts_demux.h"
#include "telemetry/track_export.h"
#include "tools/cli/commands.h"

int RunTelemetry(const std::vector<std::string>& args) {
  TrackFormat format = TrackFormat::Gpx;
  std::string outPath;
  std::vector<std::string> inputs;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--gpx") format = TrackFormat::Gpx;
    else if (args[i] == "--csv") format = TrackFormat::Csv;
    else if (args[i] == "-o" && i + 1 < args.size()) outPath = args[++i];
    else if (!args[i].empty() && args[i][0] == '-') {
      std::fprintf(stderr, "velmora-cli telemetry: unknown option '%s'\n", args[i].c_str());
      return 2;
    } else inputs.push_back(args[i]);
  }
  if (inputs.empty()) {
    std::fputs("Usage: velmora-cli telemetry [--gpx|--csv] [-o OUT] FILE-or-FOLDER...\n", stderr);
    return 2;
  }

  std::ofstream file;
  if (!outPath.empty()) {
    file.open(outPath, std::ios::binary | std::ios::trunc);
    if (!file) {
      std::fprintf(stderr, "velmora-cli telemetry: cannot write %s: %s\n", outPath.c_str(), std::strerror(errno));
      return 1;
    }
  }
  std::ostream& out = outPath.empty() ? std::cout : file;
  bool ok = true;
  TrackWriter writer(out, format, &std::cerr);
  for (const auto& path : RecordingsOf(inputs, &ok)) {
    std::vector<std::string> texts;
    bool hasTelemetry = false, known = false;
    bool opened = DemuxFile(path, [&](TsStream stream, const uint8_t* pes, size_t len) {
      known = true;
      if (stream != TsStream::Telemetry) return;
      hasTelemetry = true;
      PesHeader h;
      if (ParsePesHeader(pes, len, h))
        texts.emplace_back(reinterpret_cast<const char*>(pes + h.payloadOffset), len - h.payloadOffset);
    });
    if (!opened) writer.SkipFile(path, std::strerror(errno));
    else if (!known) writer.SkipFile(path, "not a recording (no program tables)");
    else if (!hasTelemetry) writer.SkipFile(path, "no telemetry stream");
    else {
      writer.BeginRecording(path);
      for (const auto& t : texts) writer.AddText(t);
      writer.EndRecording();
    }
  }
  if (!writer.Finish()) {
    std::fputs("velmora-cli telemetry: the track could not be written\n", stderr);
    return 1;
  }
  if (!outPath.empty())
    std::fprintf(stderr, "%zu recordings, %zu points written to %s\n", writer.Recordings(), writer.Points(), outPath.c_str());
  return ok && writer.Skipped().empty() ? 0 : 1;
}
