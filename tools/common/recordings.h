#pragma once
// What the command-line programs share about recordings and cards.
#include <string>

// Whether a file can be played, and why not.
enum class RecordingState {
  Playable,
  Unreadable,         // cannot be opened or read (the reason is the system's)
  Empty,              // zero bytes
  NotTransportStream, // no program tables in its first 16 MiB
  VideoNotSupported,  // tables, but no video stream of a kind the player decodes
};

struct RecordingCheck {
  RecordingState state = RecordingState::Playable;
  std::string reason; // for people: "not a transport stream (no program tables)"
};

RecordingCheck CheckRecording(const std::string& path);

// The folder whose recordings a folder path stands for: the folder itself when
// it holds recordings (".ts" or ".nts" files); otherwise the card's media
// folder below it, found as the player finds a card's: the first folder
// matching "DCIM/*MEDIA" (or "*MEDIA" when the folder is the card's DCIM)
// that holds ".ts" files. Empty when there is none.
std::string MediaFolderOf(const std::string& folder);

// Whether a path lies in a card's media folder: a folder whose name ends in
// "MEDIA" inside a folder named "DCIM" (in any case, as on the card).
bool InCardMediaFolder(const std::string& path);

// Whether a name ends in ".ts" or ".nts", in any case.
bool HasRecordingExtension(const std::string& path);
