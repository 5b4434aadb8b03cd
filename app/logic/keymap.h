#pragma once
// The player's keys, after the conventions of common desktop players (mpv and
// ffplay) where they have one. Key codes are Qt's key numbers, modifiers Qt's
// modifier bits, so the windows compare them as they come.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/tr_key.h"

enum class PlayerCommand {
  TogglePause,
  StepForward,
  StepBack,
  Slower,
  Faster,
  NormalSpeed,
  PrevFile,
  NextFile,
  SeekBack5,
  SeekForward5,
  SeekBack60,
  SeekForward60,
  Snapshot,
  MarkIn,
  MarkOut,
  FullScreen,
  LeaveFullScreen,
  Mute,
  OpenFile,
};

namespace keys {
// Qt's numbers for the keys used here.
constexpr int kSpace = 0x20, kComma = 0x2c, kPeriod = 0x2e, kLess = 0x3c, kGreater = 0x3e;
constexpr int kBracketLeft = 0x5b, kBracketRight = 0x5d;
constexpr int kF = 0x46, kI = 0x49, kM = 0x4d, kO = 0x4f, kP = 0x50, kS = 0x53;
constexpr int kEscape = 0x01000000, kBackspace = 0x01000003;
constexpr int kLeft = 0x01000012, kUp = 0x01000013, kRight = 0x01000014, kDown = 0x01000015;
constexpr int kPageUp = 0x01000016, kPageDown = 0x01000017;
constexpr uint32_t kShift = 0x02000000, kControl = 0x04000000;
} // namespace keys

struct KeyBinding {
  int key;
  uint32_t modifiers; // exactly these of Shift and Control
  PlayerCommand command;
  const char* name;   // as shown in tooltips and the README
  int control;        // the panel control whose tooltip names the key; 0: none
  // What the key does where that differs from the control (an English key for
  // Translate); null when it does what the control does.
  const char* note = nullptr;
};

inline constexpr KeyBinding kKeyBindings[] = {
    {keys::kSpace, 0, PlayerCommand::TogglePause, "Space", 230},
    {keys::kP, 0, PlayerCommand::TogglePause, "P", 230},
    // The frame keys step exactly one picture, also back, where the panel's
    // buttons step as the reader delivers (back: to the previous key frame).
    {keys::kPeriod, 0, PlayerCommand::StepForward, ".", 217, TR_KEY("exactly the next picture")},
    {keys::kComma, 0, PlayerCommand::StepBack, ",", 216, TR_KEY("exactly the previous picture")},
    {keys::kBracketLeft, 0, PlayerCommand::Slower, "[", 1016},
    {keys::kBracketRight, 0, PlayerCommand::Faster, "]", 1016},
    {keys::kBackspace, 0, PlayerCommand::NormalSpeed, "Backspace", 225},
    {keys::kLess, 0, PlayerCommand::PrevFile, "<", 233},
    {keys::kPageUp, 0, PlayerCommand::PrevFile, "PgUp", 233},
    {keys::kGreater, 0, PlayerCommand::NextFile, ">", 229},
    {keys::kPageDown, 0, PlayerCommand::NextFile, "PgDn", 229},
    {keys::kLeft, 0, PlayerCommand::SeekBack5, "Left", 1014},
    {keys::kRight, 0, PlayerCommand::SeekForward5, "Right", 1014},
    {keys::kDown, 0, PlayerCommand::SeekBack60, "Down", 1014},
    {keys::kUp, 0, PlayerCommand::SeekForward60, "Up", 1014},
    {keys::kS, 0, PlayerCommand::Snapshot, "S", 220},
    {keys::kI, 0, PlayerCommand::MarkIn, "I", 237},
    {keys::kO, 0, PlayerCommand::MarkOut, "O", 238},
    {keys::kF, 0, PlayerCommand::FullScreen, "F", 0},
    {keys::kEscape, 0, PlayerCommand::LeaveFullScreen, "Esc", 0},
    {keys::kM, 0, PlayerCommand::Mute, "M", 1013},
    {keys::kO, keys::kControl, PlayerCommand::OpenFile, "Ctrl+O", 231},
};

// The command of a key press (modifiers other than Shift and Control are
// ignored; Shift is ignored for keys that are typed with it, such as '<').
std::optional<PlayerCommand> CommandForKey(int key, uint32_t modifiers);
using TranslateFn = std::function<std::string(const char*)>;

// The keys of a control, as "Space, P" ("" when none); a key that does
// something else than the control comes with its note, as ".: note" (the note
// through translate when one is given).
std::string KeysForControl(int control, const TranslateFn& translate = {});
// A tooltip: the text and, when the control has keys, " (keys)".
std::string TooltipWithKeys(const std::string& text, int control, const TranslateFn& translate = {});
