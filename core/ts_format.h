#pragma once
// The MPEG-2 transport stream as the player reads it: 188-byte packets, the
// program tables, PES headers, time stamps and the H.264 frame kind.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/frame_desc.h"

constexpr int kTsPacketSize = 188;
constexpr uint8_t kTsSync = 0x47;
constexpr int kPesHeaderLength = 9; // fixed part of a PES header

constexpr int kStreamTypeH264 = 0x1B;
constexpr int kStreamTypeH265 = 0x24;
constexpr int kStreamTypeAac = 0x0F;
constexpr int kStreamTypeTelemetry = 0xA0;

// The MPEG-2 CRC-32 of a table section (polynomial 0x04C11DB7, no reflection,
// start value 0xFFFFFFFF). Over a whole section, its own CRC included, it is 0.
uint32_t SectionCrc32(const uint8_t* data, size_t len);

// The fields of one transport packet that the player uses.
struct TsPacket {
  bool unitStart = false; // payload unit start indicator
  int pid = 0;
  int adaptationControl = 0;
  const uint8_t* payload = nullptr; // the last payloadLength bytes of the packet
  int payloadLength = 0;
};

// Reads a packet's header. False for a packet to skip: transport error set,
// adaptation field control 0, or an adaptation field longer than the packet.
bool ParseTsPacket(const uint8_t* packet, TsPacket& out);

// A 33-bit time stamp at b (5 bytes), in seconds.
double ReadTimestamp(const uint8_t* b);

// The nominal frame rate of frames whose decoding stamps span `span` seconds
// over `intervals` frame intervals: within 3 % of 24, 25, 30, 50 or 60 that
// rate, else the rate rounded (1 to 240). 0 when the span says nothing (zero
// or less, as when stamps jump back).
int NominalRateOf(double span, int intervals);

// The header of a reassembled PES of len bytes.
struct PesHeader {
  int ptsDtsFlags = 0;
  int headerDataLength = 0;
  double pts = 0; // seconds; 0 when absent
  double dts = 0;
  bool hasPts = false;
  size_t payloadOffset = 0; // 9 + header data length
};

// False when the buffer does not begin with 00 00 01 or holds no byte after
// its header (len <= 9 + header data length).
bool ParsePesHeader(const uint8_t* buf, size_t len, PesHeader& out);

// The frame kind of an elementary stream: the first start code followed
// by a slice of a key frame or another frame. H.264: key slices 0x25, 0x65,
// others 0x01, 0x21, 0x41, 0x61; a sequence parameter set (0x27, 0x67) met
// before the slice moves the frame's start back to the set's start code.
// H.265: key pictures are the random access points (NAL types 16 to 21), other
// pictures types 0 to 9; a parameter set (types 32 to 34) met before the slice
// moves the start back likewise. Cameras write four-byte start codes; other
// muxers also write three-byte ones, and both are recognised. Returns
// kFrameKey, kFrameOther or kFrameNone; *start receives the offset the frame
// starts at.
int FindFrameKind(const uint8_t* es, size_t len, size_t* start, int codec = kCodecH264);

// Program association table in the payload of a PID-0 packet that starts a
// section: the (program number, map PID) pairs, network PID excluded. *valid
// (when given) tells whether the section was whole in the payload, had the
// table id 0 and its CRC matched; the entries of an invalid section are not
// to be used.
struct ProgramEntry {
  int program;
  int mapPid;
};
std::vector<ProgramEntry> ParsePat(const uint8_t* payload, int payloadLength, bool* valid = nullptr);
// The same into out (its storage reused); returns whether the section is valid.
bool ParsePatInto(const uint8_t* payload, int payloadLength, std::vector<ProgramEntry>& out);

// Program map table: the (stream type, elementary PID) pairs in order. *valid
// as for ParsePat (table id 2).
struct StreamEntry {
  int type;
  int pid;
};
std::vector<StreamEntry> ParsePmt(const uint8_t* payload, int payloadLength, bool* valid = nullptr);
bool ParsePmtInto(const uint8_t* payload, int payloadLength, std::vector<StreamEntry>& out);

// The PIDs of the three streams the player reads (-1: not in the map; the last
// entry of a type wins), the video's codec, and whether the map lists a video
// or sound stream of a format the player does not decode.
struct StreamPids {
  int video = -1;
  int audio = -1;
  int telemetry = -1;
  int videoCodec = kCodecH264;
  bool otherVideo = false; // e.g. MPEG-2 video
  bool otherAudio = false; // e.g. MPEG audio layer 2, AC-3
};
StreamPids PidsFromStreams(const std::vector<StreamEntry>& streams);
