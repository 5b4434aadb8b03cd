#include "app/logic/panel_texts.h"

#include <vector>

#include "app/settings.h"
#include "platform/files.h"

const char* PanelEnglish(PanelText id) {
  for (const auto& t : kPanelTexts)
    if (t.id == id) return t.english;
  return "";
}

std::string PanelMessage(PanelText id) { return Translate(PanelEnglish(id)); }

std::string FaultNotice(const std::string& path, int faults) {
  std::string text;
  for (const auto& f : kFaultTexts) {
    if (!(faults & f.fault)) continue;
    text += (text.empty() ? "" : "; ") + Translate(f.english);
  }
  if (text.empty()) return text;
  const size_t sep = platform::LastSeparator(path);
  return (sep == std::string::npos ? path : path.substr(sep + 1)) + ": " + text;
}

const FileDialogRequest& PanelDialogSpec(PanelDialog id) {
  for (const auto& d : kPanelDialogs)
    if (d.id == id) return d;
  return kPanelDialogs[0];
}

std::string NameFilters(const std::string& filter) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < filter.size()) {
    size_t bar = filter.find('|', at);
    if (bar == std::string::npos) bar = filter.size();
    parts.push_back(filter.substr(at, bar - at));
    at = bar + 1;
  }
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;
    std::string patterns;
    size_t p = 0;
    const std::string& list = parts[i + 1];
    while (p <= list.size()) {
      size_t semi = list.find(';', p);
      if (semi == std::string::npos) semi = list.size();
      std::string one = list.substr(p, semi - p);
      if (one == "*.*") one = "*";
      if (!one.empty()) patterns += (patterns.empty() ? "" : " ") + one;
      p = semi + 1;
    }
    if (!out.empty()) out += ";;";
    out += parts[i] + " (" + patterns + ")";
  }
  return out;
}
