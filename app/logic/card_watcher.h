#pragma once
// Notices volumes coming and going: the system's mount table, and the folders
// listed in VELMORA_REMOVABLE_ROOTS gaining or losing a "DCIM" folder (how tests
// and the demo insert a card). Polled by the main window.
#include <string>

class CardWatcher {
public:
  CardWatcher() : signature_(Signature()) {}
  // True when something changed since the last call (or construction).
  bool Poll();

private:
  static std::string Signature();
  std::string signature_;
};
