#pragma once
// What the play control panel needs of an open playback channel, so that the
// panel's logic can be driven in tests by a channel of their own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/find_file_path.h"
#include "export/mark_point.h"

class CTSChn;
class TelemetryMailbox;
class VideoTarget;
namespace platform {
class MessageTarget;
}

class PlayerChannel {
public:
  virtual ~PlayerChannel() = default;

  // Opens the recording (with the card's list, or none: its folder is listed
  // in the background) and starts playing.
  virtual void Start(const std::string& path, const std::vector<RecordingEntry>* list) = 0;

  virtual void Seek(int a) = 0; // 1..1000 permille, -1001 previous file, -1002 next file
  virtual void SeekToFileStart() = 0;
  virtual void SetDirection(int direction) = 0;
  virtual void SetPause(int pause) = 0;
  virtual int Pause() const = 0;
  virtual void SetSpeed(int code) = 0;
  // Exactly the next (1) or the previous (-1) picture, then held.
  virtual void StepExact(int direction) = 0;
  virtual void EnableAudio(bool on) = 0;
  virtual void SetMuted(bool muted) = 0;
  virtual int PlayAtTime(int64_t t) = 0;
  virtual std::string CurrentFile() const = 0;
  // What keeps the current recording from playing whole (RecordingFault bits).
  virtual int Faults() const = 0;

  virtual void MarkIn() = 0;
  virtual void MarkOut() = 0;
  virtual MarkPoint MarkInPoint() const = 0;
  virtual MarkPoint MarkOutPoint() const = 0;
  // What an export of the marked stretch to output is given.
  virtual ExportRequest ExportRequestFor(const std::string& output) = 0;

  virtual void Snapshot(const std::string& pathTemplate, int count) = 0;
  // Pictures shown since the last call.
  virtual int TakeFrameCount() = 0;
  // A copy of the recording list, taken under its lock.
  virtual std::vector<RecordingEntry> Recordings() const = 0;
};

// The links of one channel: where its messages go. The channel keeps the
// message targets for as long as its threads may post to them.
struct PlayerChannelLinks {
  VideoTarget* video = nullptr;
  std::shared_ptr<platform::MessageTarget> panel;
  std::shared_ptr<platform::MessageTarget> mainWindow;
  TelemetryMailbox* mailbox = nullptr; // the application's when null
};

// A channel over the real pipeline (CTSChn).
std::unique_ptr<PlayerChannel> MakePipelineChannel(const PlayerChannelLinks& links);
