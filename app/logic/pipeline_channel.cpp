// The panel's channel over the real pipeline.
#include "app/logic/player_channel.h"
#include "app/settings.h"
#include "core/ts_chn.h"
#include "export/channel_request.h"

namespace {

class PipelineChannel : public PlayerChannel {
public:
  explicit PipelineChannel(const PlayerChannelLinks& links)
      : video_(links.video), panel_(links.panel), mainWindow_(links.mainWindow),
        chn_(ChannelLinks{panel_.get(), mainWindow_.get(), links.mailbox, &Settings().displayMode,
                           &Settings().soundAmplification}) {}

  void Start(const std::string& path, const std::vector<RecordingEntry>* list) override {
    chn_.Open(video_, path);
    chn_.Start(list);
  }
  void Seek(int a) override { chn_.Seek(a); }
  // The reader seeks only to positions inside the file: the start is reached by
  // opening the playing file again.
  void SeekToFileStart() override {
    const std::string path = chn_.GetCurFile();
    if (!path.empty()) chn_.Reader().SetPendingFile(path);
  }
  void SetDirection(int direction) override { chn_.SetDirection(direction); }
  void SetPause(int pause) override { chn_.SetPause(pause); }
  int Pause() const override { return chn_.Pause(); }
  void SetSpeed(int code) override { chn_.SetSpeed(code); }
  void StepExact(int direction) override {
    if (direction < 0) chn_.StepBack();
    else chn_.StepForward();
  }
  void EnableAudio(bool on) override { chn_.EnableAudio(on); }
  void SetMuted(bool muted) override { chn_.state.muted = muted; }
  int PlayAtTime(int64_t t) override { return chn_.PlayAtTime(t); }
  std::string CurrentFile() const override { return chn_.GetCurFile(); }
  int Faults() const override { return chn_.Faults(); }
  void MarkIn() override { chn_.MarkIn(); }
  void MarkOut() override { chn_.MarkOut(); }
  MarkPoint MarkInPoint() const override { return chn_.MarkInPoint(); }
  MarkPoint MarkOutPoint() const override { return chn_.MarkOutPoint(); }
  ExportRequest ExportRequestFor(const std::string& output) override {
    return ExportRequestFromChannel(chn_, output);
  }
  void Snapshot(const std::string& pathTemplate, int count) override { chn_.Snapshot(pathTemplate, count); }
  int TakeFrameCount() override {
    chn_.TakeFrameCount();
    return chn_.FramesPerSecond();
  }
  std::vector<RecordingEntry> Recordings() const override {
    return chn_.RecordingList().Entries();
  }

private:
  VideoTarget* video_;
  std::shared_ptr<platform::MessageTarget> panel_, mainWindow_; // outlive the channel's threads
  mutable CTSChn chn_; // the list copy is taken under the list's own lock
};

} // namespace

std::unique_ptr<PlayerChannel> MakePipelineChannel(const PlayerChannelLinks& links) {
  return std::make_unique<PipelineChannel>(links);
}
