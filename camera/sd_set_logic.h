#pragma once
// What the "SD Set" dialog does, without Qt: the values it edits, the card
// list, loading, Set, Default, Format and Clear with their checks, messages
// and questions. The Qt dialog shows these values and forwards its buttons.
#include <string>
#include <vector>

#include "app/user_prompts.h"
#include "camera/card_volume.h"
#include "camera/usrset.h"
#include "platform/tr_key.h"

namespace platform {
class DiskService;
}

// Every message and question of the dialog, by its English text (the key of
// the language files).
namespace sdtext {
inline constexpr const char* kTip = TR_KEY("Tip");
inline constexpr const char* kNotFound = TR_KEY("Record SD Card Not Find");
inline constexpr const char* kSaveSuccess = TR_KEY("Save Success");
inline constexpr const char* kSaveError = TR_KEY("Save Error");
inline constexpr const char* kAskDefault = TR_KEY("Are you sure to default the settings?");
inline constexpr const char* kAskFormat = TR_KEY("Are you sure to Format it?");
inline constexpr const char* kAskClear = TR_KEY("Are you sure to Clear it?");
inline constexpr const char* kClearSuccess = TR_KEY("Clear Success");
inline constexpr const char* kClearFail = TR_KEY("Clear Fail");
inline constexpr const char* kItemsStayed = TR_KEY("Items that could not be deleted:");
inline constexpr const char* kNotACard = TR_KEY("This is not the root of a memory card; nothing was changed.");
inline constexpr const char* kInUseByExport = TR_KEY("An export is using this card; wait until it has finished.");
inline constexpr const char* kNoDiskService =
    TR_KEY("The card cannot be formatted: the disk service UDisks2 is not available. Nothing was changed.");
inline constexpr const char* kNoDevice = TR_KEY("The card's device was not found; nothing was changed.");
inline constexpr const char* kNotRemovable = TR_KEY("The device is not a removable card; it is not formatted.");
inline constexpr const char* kFormatSuccess = TR_KEY("Format Success");
inline constexpr const char* kFormatFail = TR_KEY("Format Fail");
inline constexpr const char* kDevice = TR_KEY("Device:");
} // namespace sdtext

// What the play control panel tells the card dialog and lets it do.
class PlaybackHooks {
public:
  virtual ~PlaybackHooks() = default;
  // The recording being played, empty when none is open.
  virtual std::string PlayingPath() const = 0;
  // The files an export job is reading or writing, empty when none runs.
  virtual std::vector<std::string> ExportPaths() const = 0;
  // Stops playback (the panel's Stop command).
  virtual void StopPlayback() = 0;
};

struct LocalDateTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0;
};
// The current local time to the minute.
LocalDateTime NowLocal();

class SdSetLogic {
public:
  // hooks and disks may be null: nothing is then playing, and formatting is not available.
  SdSetLogic(UserPrompts& prompts, PlaybackHooks* hooks, platform::DiskService* disks);

  // The one-shot fill after opening: defaults, the set-time box cleared with
  // the given time as the date, the card list, the preferred card loaded.
  void Open(const LocalDateTime& now);

  const CameraSettings& Values() const { return values_; }
  const std::vector<CardVolume>& Volumes() const { return volumes_; }
  int Selected() const { return selected_; }
  // The English reason the last load kept the values ("missing", "CRC does not match"), empty after a good load.
  const std::string& LoadProblem() const { return loadProblem_; }

  // Chooses a card and loads its "usrset.dat" over the values (kept when it is missing or damaged).
  void SelectVolume(int i);
  // A list's new index; an empty selection (-1) changes nothing.
  void SetIndex(int option, int index);
  void SetDateTime(const LocalDateTime& t);
  // Checked: the date becomes now; cleared: 1980-01-01 00:00.
  void SetTimeChecked(bool on, const LocalDateTime& now);

  // The Set button; true when the dialog is to close as accepted.
  bool Set();
  // The Default button (asks first).
  void Default(const LocalDateTime& now);
  void Format();
  void Clear();

private:
  bool CheckCardForChange(CardVolume* card);
  void StopIfPlayingOn(const std::string& root);
  void Relist(const std::string& keepRoot);
  std::string Tr(const char* english) const;

  UserPrompts& prompts_;
  PlaybackHooks* hooks_;
  platform::DiskService* disks_;
  CameraSettings values_ = CameraSettings::Defaults();
  std::vector<CardVolume> volumes_;
  int selected_ = -1;
  std::string loadProblem_;
};
