#pragma once
// The removable volumes the card dialog offers, the checks that keep clearing
// and formatting on a card's own root, and clearing itself. No Qt.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CardVolume {
  std::string root;     // mount point with a trailing '/'
  std::string label;    // volume label, else the folder's name
  uint64_t size = 0;    // bytes of the file system
  bool hasDcim = false; // holds a "DCIM" folder (any case)
};

// The removable roots (platform::RemovableRoots) with label, size and DCIM flag.
std::vector<CardVolume> ListCardVolumes();
// The volume to select first: the first that holds DCIM, else the first; -1 when empty.
int PreferredVolume(const std::vector<CardVolume>& volumes);
// "CARD, 7.4 GiB, /media/user/CARD/": what the questions name.
std::string DescribeVolume(const CardVolume& v);
// A size as "7.4 GiB", "512.0 MiB".
std::string SizeText(uint64_t bytes);

// Whether a path lies on (or is) the root: the whole root is compared as a
// path prefix, ending at a separator, after making both absolute and clean.
bool PathIsOn(std::string_view path, std::string_view root);

// Whether root may be cleared or formatted: it must be one of the removable
// roots as listed, an existing folder that is no symbolic link, and neither
// "/" nor the home folder nor a folder above the home folder. *why gets the
// English reason when not.
bool IsCardRoot(std::string_view root, std::string* why = nullptr);

struct ClearResult {
  int removed = 0; // files, links and folders deleted
  int failed = 0;  // entries that stayed (read-only folder, in use, gone, another file system)
};

// Deletes everything below root, never root itself. Symbolic links are
// deleted as links and never followed; folders on another file system than
// root (something mounted inside the card) are left alone and counted as failed.
ClearResult ClearCard(std::string_view root);
