#pragma once
// An AVI file with one H.264 (or H.265, four-character code HEVC) video stream (each access unit one chunk, as it
// is, start codes included, flagged as a key frame) and one 16-bit PCM mono
// 48000 Hz audio stream, written by libavformat's AVI muxer. Files over 1 GiB
// go on in OpenDML extension chunks, so they stay valid past 4 GiB.
#include <cstddef>
#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVPacket;
struct AVRational;

class CAviFile {
public:
  static constexpr int kAudioRate = 48000;

  CAviFile() = default;
  virtual ~CAviFile(); // closes (writing the index) when still open
  CAviFile(const CAviFile&) = delete;
  CAviFile& operator=(const CAviFile&) = delete;

  // Creates the file (replacing an existing one) with its two streams and
  // writes the headers. False, with Error() set, at the first step that fails.
  // codec: kCodecH264 or kCodecH265.
  virtual bool Create(const std::string& path, int width, int height, int frameRate, int codec = 0);
  // Writes the index and the final headers and closes the file. False when
  // that, or any write before it, failed: the file is then not complete.
  virtual bool Close();
  // Closes without completing the file (it is about to be removed).
  virtual void Abandon();
  virtual bool IsOpen() const { return context_ != nullptr; }
  // The last Create got as far as creating (or emptying) the file on disk.
  bool FileCreated() const { return fileCreated_; }

  // One access unit as the next video frame.
  virtual bool WriteVideoFrame(const uint8_t* data, size_t size);
  // 16-bit mono samples (size in bytes) after the ones written so far.
  virtual bool WriteAudio(const uint8_t* data, size_t size);

  int64_t VideoFrames() const { return videoFrames_; }
  int64_t AudioSamples() const { return audioSamples_; }
  // What failed, as libavformat says it; empty while nothing has.
  const std::string& Error() const { return error_; }

private:
  bool Fail(const char* what, int averror);
  bool Write(int stream, const uint8_t* data, size_t size, int64_t at, int64_t duration, AVRational unit);
  void Free();

  AVFormatContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  int frameRate_ = 30;
  int64_t videoFrames_ = 0;
  int64_t audioSamples_ = 0;
  bool failed_ = false;
  bool fileCreated_ = false;
  std::string error_;
};

// The picture size and frame rate of a recording's video, as libavcodec's
// parser finds them from its first frames, and its codec (kCodecH264,
// kCodecH265). False when it has no H.264 or H.265 video.
bool ProbeVideoFormat(const std::string& path, int* width, int* height, int* frameRate, int* codec = nullptr);
