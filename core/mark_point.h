#pragma once
#include <cstdint>
#include <string>

// A Mark In or Mark Out of a channel: the recording's number (from its name, -1
// when it has none), its full path and the byte position the reader had
// reached in it (-1 while unset).
struct MarkPoint {
  int32_t number = -1;
  std::string file;
  int64_t position = -1;

  bool IsSet() const { return !file.empty() && position >= 0; }
};
