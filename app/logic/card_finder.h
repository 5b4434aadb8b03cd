#pragma once
// Finding the recordings of an inserted card, and the file named on the command
// line. Start-up, card arrival and the open menu share one rule.
#include <string>
#include <vector>

#include "core/find_file_path.h"

// The media folder of the first card that holds recordings: for each root in
// order, the folders "DCIM/*MEDIA" (any case) sorted by name, and of those the
// first that holds a ".ts" file. The folder with a trailing '/', or "" when no
// card has one.
std::string FindCardFolder(const std::vector<std::string>& roots);
// The same over the mounted removable volumes.
std::string FindCardFolder();

// The recordings of a media folder, in number order (empty when it has none).
std::vector<RecordingEntry> CardRecordings(const std::string& folder);

// The recording named by the program's arguments (without the program name):
// one argument that names an existing file, or a "file://" address, is taken
// as it stands; otherwise the arguments joined by single spaces with every '"'
// removed. "" without arguments.
std::string StartFileFromArguments(const std::vector<std::string>& args);
