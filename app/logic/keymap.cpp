#include "app/logic/keymap.h"

std::optional<PlayerCommand> CommandForKey(int key, uint32_t modifiers) {
  const uint32_t mods = modifiers & (keys::kShift | keys::kControl);
  // Characters typed with Shift ('<', '>') come with the Shift bit set.
  const bool shifted = key == keys::kLess || key == keys::kGreater;
  for (const auto& b : kKeyBindings) {
    if (b.key != key) continue;
    if (b.modifiers == mods || (shifted && b.modifiers == (mods & ~keys::kShift))) return b.command;
  }
  return std::nullopt;
}

std::string KeysForControl(int control, const TranslateFn& translate) {
  std::string out;
  if (control == 0) return out;
  for (const auto& b : kKeyBindings) {
    if (b.control != control) continue;
    if (!out.empty()) out += ", ";
    out += b.name;
    if (b.note) out += std::string(": ") + (translate ? translate(b.note) : std::string(b.note));
  }
  return out;
}

std::string TooltipWithKeys(const std::string& text, int control, const TranslateFn& translate) {
  const std::string k = KeysForControl(control, translate);
  return k.empty() ? text : text + " (" + k + ")";
}
