#include "core/recording_fault.h"

const char* RecordingFaultText(int fault) {
  switch (fault) {
    case kFaultMissingFile: return "file not found";
    case kFaultCannotOpen: return "file cannot be opened";
    case kFaultNotTransportStream: return "not a transport stream";
    case kFaultVideoNotSupported: return "video format not supported";
    case kFaultSoundNotSupported: return "sound format not supported";
    default: return "";
  }
}
