// The AVI export of a job: the H.264 or H.265 access units as they are, the sound as PCM.
#include <algorithm>
#include <cerrno>

#include "audio/aac_decoder.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "export/avi_file.h"
#include "export/avi_frames.h"
#include "export/ts_backup.h"
#include "platform/files.h"

namespace {

// Reading starts this far before the first block of the stretch, so that the
// PES packets cut inside the stretch are complete.
constexpr int64_t kAviLeadIn = 4 << 20;

} // namespace

CTSBackup::Ending CTSBackup::RunAvi() {
  Ending e;
  const auto& files = plan_.Files();
  int64_t tablesEnd = 0;
  StreamPids pids;
  if (!FindProgramTables(files[0].path, &tablesEnd, &pids)) {
    e.Set(ExportOutcome::Failed, ExportReason::NoProgramTables, platform::NameOf(files[0].path));
    return e;
  }
  int width = request_.width, height = request_.height, rate = request_.frameRate;
  if (width <= 0 || height <= 0 || rate <= 0) {
    int w = 0, h = 0, r = 0;
    if (ProbeVideoFormat(files[0].path, &w, &h, &r)) {
      if (width <= 0 || height <= 0) width = w, height = h;
      if (rate <= 0) rate = r;
    }
  }

  CAviFile avi;
  if (!avi.Create(request_.output, width, height, rate, pids.videoCodec)) {
    // A file the muxer created before failing is removed below, when it is a regular file.
    outCreated_ = avi.FileCreated() && FileIdOf(request_.output, &outId_, &outRegular_);
    e.Set(ExportOutcome::Failed, ExportReason::CannotCreate, {}, avi.Error());
    return e;
  }
  outCreated_ = FileIdOf(request_.output, &outId_, &outRegular_);
  AacDecoder decoder;
  if (!decoder.Open()) {
    avi.Abandon();
    e.Set(ExportOutcome::Failed, ExportReason::NoAacDecoder);
    return e;
  }

  AviFrames frames(avi, decoder, plan_, pids);
  TsFile file;
  bool finished = false;
  auto keepGoing = [&] { return running_.load(std::memory_order_relaxed) && !frames.Finished() && !frames.Failed(); };
  for (size_t index = 0; index < files.size() && keepGoing(); ++index) {
    const SegmentFile& f = files[index];
    if (!file.Open(f.path, false)) {
      e.Set(ExportOutcome::Incomplete, ExportReason::CannotOpen, platform::NameOf(f.path), ErrorText(errno));
      break;
    }
    if (index == 0) {
      file.SeekTo(std::max<int64_t>(0, f.from - kAviLeadIn) / SegmentPlan::kBlock * SegmentPlan::kBlock);
      file.DropWindow(false);
    }
    // Bytes left in the window at the end of a recording are walked with the next one.
    while (keepGoing() && file.FillForward() > 0) {
      const int64_t pos = file.Position();
      file.WalkForward([&](const uint8_t* packet) { frames.Packet(packet, index, pos); return true; }, keepGoing);
      Report(index, pos);
    }
    if (!keepGoing()) break;
    if (file.Position() < f.size) {
      e.Set(ExportOutcome::Incomplete, ExportReason::ReadShort, platform::NameOf(f.path));
      break;
    }
    if (plan_.IsEnd(index)) finished = true; // Mark Out lies at or past the end of its recording
  }
  finished = finished || frames.Finished();
  if (frames.Failed()) e.Set(ExportOutcome::Failed, ExportReason::WriterFailed, {}, avi.Error());
  else if (finished && e.outcome == ExportOutcome::Finished && avi.VideoFrames() == 0)
    e.Set(ExportOutcome::Failed, ExportReason::NoPicture);
  else if (!running_ && !finished && e.outcome == ExportOutcome::Finished) e.Set(ExportOutcome::Stopped, ExportReason::None);
  else if (e.outcome == ExportOutcome::Finished && !finished) SetMissing(e);

  if (e.outcome == ExportOutcome::Failed) {
    avi.Abandon();
  } else if (!avi.Close()) {
    e.Set(ExportOutcome::Failed, ExportReason::WriterFailed, {}, avi.Error());
  }
  return e;
}
