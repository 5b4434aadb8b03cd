#pragma once
// Fixed facts of the sample recordings made by velmora-sample-card, for the tool
// itself and for the tests that check what it wrote.
#include <cstdint>

namespace samplegen {

// Transport stream layout, as the player's reader expects it.
constexpr uint16_t kProgramNumber = 1;
constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kVideoPid = 0x1011;     // H.264, stream type 0x1B; carries the PCR
constexpr uint16_t kAudioPid = 0x1100;     // AAC-LC with ADTS headers, stream type 0x0F
constexpr uint16_t kTelemetryPid = 0x1200; // telemetry text, stream type 0xA0 (private PES, id 0xBD)
constexpr uint8_t kVideoStreamType = 0x1B;
constexpr uint8_t kVideoStreamTypeH265 = 0x24; // with --codec h265
constexpr uint8_t kAudioStreamType = 0x0F;
constexpr uint8_t kTelemetryStreamType = 0xA0;
constexpr uint8_t kVideoStreamId = 0xE0;
constexpr uint8_t kAudioStreamId = 0xC0;
constexpr uint8_t kTelemetryStreamId = 0xBD; // private_stream_1: has the usual PES header
constexpr int kTsClock = 90000;              // PTS/DTS ticks per second

// Sound: a steady sine tone, mono, 48000 Hz, AAC-LC frames of 1024 samples.
// The tone's peak amplitude is 10^(kToneDbfs/20) of full scale (0.2512 for -12 dBFS),
// so its RMS level is that / sqrt(2) (0.1776, -15 dBFS RMS). The phase is continuous
// over the whole card (sample n of the card is sin(2 pi kToneHz n / kAudioSampleRate)).
constexpr int kAudioSampleRate = 48000;
constexpr int kAudioChannels = 1;
constexpr int kAudioFrameSamples = 1024;
constexpr int kAudioFrameTicks = kAudioFrameSamples * kTsClock / kAudioSampleRate; // 1920
constexpr double kToneHz = 1000.0;
constexpr double kToneDbfs = -12.0;
constexpr int kAudioBitRate = 96000;

// GPS track: the route (route.h) starts here, at rest.
constexpr double kStartLatitude = 24.0777;   // degrees north
constexpr double kStartLongitude = 120.5289; // degrees east

// Telemetry: one text per second of recording, at PTS 0, 1 s, 2 s, ... of each file.
constexpr int kTelemetryIntervalSeconds = 1;

// Video: when --bframes is given the encoder uses this many consecutive B-frames.
constexpr int kBFrames = 2;

// Defaults of the program (a demo card).
constexpr int kDefaultFiles = 3;
constexpr int kDefaultSeconds = 60;
constexpr int kDefaultWidth = 1280;
constexpr int kDefaultHeight = 720;
constexpr int kDefaultFps = 30;
constexpr const char* kDefaultStart = "2024-06-01 08:00:00";
constexpr uint32_t kDefaultSeed = 1;
constexpr int kDefaultFirstNumber = 1;

} // namespace samplegen
