#pragma once
// Reading one group of pictures of a recording straight from the file: the
// access units from a key frame up to the next key frame, each with the byte
// offset of its PES and its presentation time stamp. Used to decode the
// pictures around the one on screen for exact steps; the reader thread is not
// involved.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

struct AccessUnit {
  int64_t pos = -1; // byte offset of the PES's first packet
  int64_t pts = -1; // 90 kHz ticks; -1 none
  bool key = false;
  std::vector<uint8_t> bytes; // the elementary stream from the frame's start code
};

struct PictureGroup {
  int64_t keyPos = -1;     // where the group's key frame begins
  int64_t nextKeyPos = -1; // where the next key frame begins; -1: the group ends the file
  std::vector<AccessUnit> units; // decode order, the key frame first
};

constexpr int64_t kEndOfFile = std::numeric_limits<int64_t>::max();

// The group whose key frame is the last one beginning before `before`
// (kEndOfFile: the file's last group). False when there is none.
bool ReadGroupBefore(const std::string& path, int64_t before, PictureGroup& out);
// The group of the first key frame beginning at or after `from`.
bool ReadGroupFrom(const std::string& path, int64_t from, PictureGroup& out);
