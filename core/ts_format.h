#pragma once
// The MPEG-2 transport stream as the player reads it: 188-byte packets, the
// program tables, PES headers, time stamps and the H.264 frame kind.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kTsPacketSize = 188;
constexpr uint8_t kTsSync = 0x47;
constexpr int kPesHeaderLength = 9; // fixed part of a PES header

constexpr int kStreamTypeH264 = 0x1B;
constexpr int kStreamTypeAac = 0x0F;
constexpr int kStreamTypeTelemetry = 0xA0;

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

// The H.264 frame kind of an elementary stream: the first start code followed
// by a slice of a key frame (0x25, 0x65) or another frame (0x01, 0x21, 0x41,
// 0x61). A sequence parameter set (0x27, 0x67) met before it moves the
// frame's start back to the set's start code. Cameras write four-byte start
// codes; other muxers also write three-byte ones, and both are recognised. Returns kFrameKey,
// kFrameOther or kFrameNone; *start receives the offset the frame starts at.
int FindFrameKind(const uint8_t* es, size_t len, size_t* start);

// Program association table in the payload of a PID-0 packet that starts a
// section: the (program number, map PID) pairs, network PID excluded.
struct ProgramEntry {
  int program;
  int mapPid;
};
std::vector<ProgramEntry> ParsePat(const uint8_t* payload, int payloadLength);

// Program map table: the (stream type, elementary PID) pairs in order.
struct StreamEntry {
  int type;
  int pid;
};
std::vector<StreamEntry> ParsePmt(const uint8_t* payload, int payloadLength);

// The PIDs of the three streams the player reads (-1: not in the map; the last
// entry of a type wins).
struct StreamPids {
  int video = -1;
  int audio = -1;
  int telemetry = -1;
};
StreamPids PidsFromStreams(const std::vector<StreamEntry>& streams);
