#include "app/logic/card_watcher.h"

#include "platform/files.h"

std::string CardWatcher::Signature() {
  std::string s = platform::MountTable();
  for (const auto& root : platform::RemovableRoots()) {
    s += '\n';
    s += root;
    s += platform::FindFiles(root + "DCIM").empty() ? '-' : '+';
  }
  return s;
}

bool CardWatcher::Poll() {
  std::string now = Signature();
  if (now == signature_) return false;
  signature_ = std::move(now);
  return true;
}
