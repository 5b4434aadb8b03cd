#pragma once
// An export job: saves the stretch between Mark In and Mark Out, on a thread of
// its own, as a transport stream (the recorded bytes as they are, after the
// start recording's beginning up to its program tables) or as an AVI file
// (the H.264 access units as they are and the audio decoded to PCM).
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "export/mark_point.h"
#include "export/segment_plan.h"

// How a job ended.
enum class ExportOutcome {
  Finished,   // the whole stretch was saved
  Incomplete, // a recording of the stretch is missing or could not be read: the part before it was saved
  Failed,     // the output could not be created or written: nothing usable was saved
  Stopped,    // stopped by its owner; the output holds what was saved so far
};

// Why a job did not finish; the end notice names the recording (subject) and
// the system's error text (detail) where the reason has them.
enum class ExportReason {
  None,
  CannotCreate,     // the output: detail
  CannotWrite,      // the output: detail
  NotEnoughSpace,   // for the output: detail
  CannotOpen,       // a recording: subject, detail
  ReadShort,        // a recording could not be read to the end: subject, detail (may be empty)
  NoProgramTables,  // the start recording: subject
  NoAacDecoder,
  RecordingMissing, // subject: the missing recording's number
  WriterFailed,     // the AVI writer: detail (its own error text)
  NoPicture,        // no picture begins in the marked stretch
};

// The end notice of a job, handed to whoever started it.
struct ExportEnd {
  ExportOutcome outcome = ExportOutcome::Stopped;
  std::string output;
  ExportReason reason = ExportReason::None; // None for Finished and Stopped
  std::string subject;
  std::string detail;
  bool outputCreated = false; // Failed: the job had created (or replaced) the output
  bool outputRemoved = false; // Failed: that incomplete output was removed
  bool outputKept = false;  // the output file is there (complete or partial as the outcome says)
  int64_t bytesWritten = 0; // size of the output file kept
};

// Why a job did not start. Nothing was written in any of these cases.
enum class ExportStart {
  Started,
  MarksNotInOrder,         // unset marks, Mark Out before Mark In: nothing is shown
  MarksInDifferentFolders,
  StartMissing,            // the Mark In recording is gone
  OutputIsSource,          // the output is one of the recordings of the stretch
  OutputIsRecording,       // the output is another recording of the stretch's folder
  EmptyStretch,            // the marks enclose no byte of any recording
  NoThread,
};

class CTSBackup {
public:
  // Both run on the job's thread. They must not stop or destroy the job; a
  // user interface posts what it needs to its own thread.
  using ProgressFn = std::function<void(int64_t done, int64_t total)>;
  using EndFn = std::function<void(const ExportEnd&)>;

  CTSBackup() = default;
  // Stops a running job first (its output keeps what was saved so far).
  virtual ~CTSBackup();
  CTSBackup(const CTSBackup&) = delete;
  CTSBackup& operator=(const CTSBackup&) = delete;

  // Set before the job starts. Progress is reported in bytes of the stretch,
  // at most about every megabyte; the end notice once, when the thread ends.
  void SetProgressCallback(ProgressFn fn) { onProgress_ = std::move(fn); }
  void SetEndCallback(EndFn fn) { onEnd_ = std::move(fn); }

  // Checks the request and starts the job on its thread: a stream copy, or an
  // AVI file when the output ends in ".avi" (any case). A refusal writes nothing.
  ExportStart BeginExport(const ExportRequest& request);
  // Copies one whole recording to output ("Save The Playing File") as a job.
  ExportStart BeginCopy(const std::string& recording, const std::string& output);

  // Stops the job where it is and waits for its thread; the end notice
  // (Stopped) has been delivered when this returns.
  virtual void Stop();
  // Stops the job and deletes the output it created, unless it had finished.
  void Cancel();
  bool IsRunning() const { return running_.load(); }
  // The thread has ended and its end notice is ready.
  bool HasEnded() const { return ended_.load(); }
  // Waits for the thread to end by itself.
  void Wait();
  ExportEnd EndNotice() const;

  ExportMode Mode() const { return mode_; }
  int64_t BytesDone() const { return done_.load(); }
  int64_t BytesTotal() const { return total_.load(); }

protected:
  virtual void Run();

private:
  enum class Job { Segment, WholeFile };
  ExportStart Launch();
  void ThreadMain();
  void Report(size_t file, int64_t pos);

  // Outcome of the copy loops, before the output is closed.
  struct Ending {
    ExportOutcome outcome = ExportOutcome::Finished;
    ExportReason reason = ExportReason::None; // why not Finished
    std::string subject, detail;
    void Set(ExportOutcome o, ExportReason r, std::string s = {}, std::string d = {}) {
      outcome = o;
      reason = r;
      subject = std::move(s);
      detail = std::move(d);
    }
  };
  Ending RunStreamCopy();
  Ending RunAvi();
  bool OpenOutput(Ending& e);
  bool WriteOut(const uint8_t* data, size_t size, Ending& e);
  // The output as this job created it: removed only while it is still that file.
  bool RemoveOutput();
  static std::string ErrorText(int err);
  void SetMissing(Ending& e) const;

  ExportRequest request_;
  ExportMode mode_ = ExportMode::StreamCopy;
  Job job_ = Job::Segment;
  SegmentPlan plan_;

  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<int64_t> done_{0};
  std::atomic<int64_t> total_{0};
  int64_t reportedAt_ = -1; // the job's thread only

  // The output, touched by the job's thread only.
  int outFd_ = -1;
  FileId outId_;
  bool outCreated_ = false; // this job created (or replaced) the output
  bool outRegular_ = false;

  ProgressFn onProgress_;
  EndFn onEnd_;
  mutable std::mutex endMutex_;
  ExportEnd end_;
};
