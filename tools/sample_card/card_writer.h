#pragma once
// Writes a sample card (velmora-sample-card's work): see main.cpp for the options.
#include <cstdint>
#include <ctime>
#include <string>

namespace samplegen {

struct CardOptions {
  std::string out;           // the card's root; recordings go to out/DCIM/100MEDIA/
  int files = 3;             // number of recordings
  int seconds = 60;          // length of each recording
  int width = 1280, height = 720;
  int fps = 30;              // 30 or 60
  int gop = 0;               // key frame interval in frames; 0: one second
  bool bframes = false;      // use kBFrames B-frames between references
  bool h265 = false;         // H.265 video (libx265) instead of H.264 (libx264)
  int64_t start = 0;         // local start time of the first recording, seconds since 1970
  bool telemetry = true;     // write the telemetry stream (and list it in the PMT)
  int readOnly = 0;          // 1-based index of the recording made read-only; 0 none
  uint32_t seed = 1;         // the route's seed
  int firstNumber = 1;       // sequence number of the first recording
  int noFixSeconds = 0;      // the card's first seconds have no GPS fix (status V)
  int bitrateKbps = 0;       // constant video bit rate (filler included); 0: constant quality
  bool quiet = false;        // print nothing on success
};

// Writes every recording. Returns false with a message in *error on failure.
bool WriteCard(const CardOptions& options, std::string* error);

// The recording's file name: <YYYYMMDD>_<HHMMSS>_<NNNN>.ts from its local start time.
std::string RecordingName(int64_t localStart, int number);

} // namespace samplegen
