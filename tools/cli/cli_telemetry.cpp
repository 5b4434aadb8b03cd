// velmora-cli telemetry: the GPS track of recordings as GPX or CSV.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "core/ts_demux.h"
#include "telemetry/track_export.h"
#include "tools/cli/commands.h"
#include "tools/cli/output_file.h"
#include "tools/common/recordings.h"

int RunTelemetry(const CliCommand& self, const ParsedOptions& options) {
  const std::string program = ProgramOf(self);
  const TrackFormat format = options.Has("--csv") ? TrackFormat::Csv : TrackFormat::Gpx;
  if (options.Has("--csv") && options.Has("--gpx")) return UsageError(self, "give --gpx or --csv, not both");
  const std::vector<std::string>& inputs = options.operands;
  if (inputs.empty()) return UsageError(self, "no recording or folder given");
  const std::string outPath = options.Value("--output");
  const bool overwrite = options.Has("--overwrite");
  if (overwrite && outPath.empty()) return UsageError(self, "--overwrite goes with -o OUT");
  if (!outPath.empty() && HasRecordingExtension(outPath))
    return UsageError(self, outPath + ": a track is not a recording; name it .gpx or .csv");
  if (!outPath.empty() && !OutputFile::MayWrite(program, outPath, overwrite, inputs)) return 1;
  bool ok = true;
  const std::vector<std::string> recordings = RecordingsOf(program, inputs, &ok);

  std::unique_ptr<OutputFile> output;
  std::ofstream file;
  if (!outPath.empty()) {
    output = std::make_unique<OutputFile>(outPath);
    file.open(output->Path(), std::ios::binary | std::ios::trunc);
    if (!file) {
      std::fprintf(stderr, "%s: cannot write %s: %s\n", program.c_str(), outPath.c_str(), std::strerror(errno));
      return 1;
    }
  }
  std::ostream& out = outPath.empty() ? std::cout : file;
  TrackWriter writer(out, format, &std::cerr);
  for (const auto& path : recordings) {
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
  const bool written = writer.Finish();
  if (output) file.close();
  if (!written || (output && !file)) {
    std::fprintf(stderr, "%s: the track could not be written%s\n", program.c_str(),
                 output ? (" to " + outPath).c_str() : "");
    return 1;
  }
  if (output) {
    if (writer.Points() == 0) {
      std::fprintf(stderr, "%s: no GPS position found; %s was not written\n", program.c_str(), outPath.c_str());
      return 1;
    }
    std::string reason;
    if (!output->Commit(overwrite, &reason)) {
      std::fprintf(stderr, "%s: cannot write %s: %s\n", program.c_str(), outPath.c_str(), reason.c_str());
      return 1;
    }
    std::fprintf(stderr, "%zu recordings, %zu points written to %s\n", writer.Recordings(), writer.Points(),
                 outPath.c_str());
  }
  return ok && writer.Skipped().empty() ? 0 : 1;
}
