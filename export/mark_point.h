#pragma once
// What the panel hands to an export job: the marks of a stretch and the output.
#include <string>

#include "core/mark_point.h"

// What a new export job is given. A frame rate, width or height of 0 or less
// is taken from the start recording itself (its first sequence parameter set
// and time stamps).
struct ExportRequest {
  std::string output;
  int frameRate = 0;
  int width = 0;
  int height = 0;
  MarkPoint start; // Mark In
  MarkPoint end;   // Mark Out
};

enum class ExportMode { StreamCopy, Avi };

// AVI for a name ending in ".avi" in any case, a stream copy for any other.
ExportMode ExportModeFor(const std::string& output);

// Whether the marks enclose a stretch: both set, and Mark In before Mark Out
// (a lower recording number, or the same number and a lower position). A
// stretch over several recordings needs numbered recordings to follow from one
// to the next.
bool MarksInOrder(const MarkPoint& in, const MarkPoint& out);
