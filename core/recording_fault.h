#pragma once
// What keeps a recording (or part of it) from playing, as the reader finds it
// for the file it has open. Faults combine as bits; a tool or window says each
// in one line and goes on playing what can be played.

enum RecordingFault : int {
  kFaultNone = 0,
  kFaultMissingFile = 1 << 0,        // the file does not exist
  kFaultCannotOpen = 1 << 1,         // it exists but cannot be opened for reading
  kFaultNotTransportStream = 1 << 2, // no program tables: not a transport stream
  kFaultVideoNotSupported = 1 << 3,  // no H.264 or H.265 video in the program
  kFaultSoundNotSupported = 1 << 4,  // sound in a format other than AAC (such as MPEG layer 2)
};

// The fault's line, in English ("video format not supported"); empty for none
// or a combination (say each bit on its own).
const char* RecordingFaultText(int fault);
