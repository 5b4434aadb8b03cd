#include "camera/sd_set_logic.h"

#include <ctime>

#include "app/settings.h"
#include "platform/disk_service.h"
#include "platform/files.h"

namespace {

constexpr uint64_t kFat32Limit = 32ull << 30; // larger cards get exFAT

bool IsSystemMount(const std::string& mountPoint) {
  return mountPoint == "/" || mountPoint.rfind("/boot", 0) == 0 || mountPoint.rfind("/usr/", 0) == 0 ||
         PathIsOn(platform::HomeFolder(), mountPoint);
}

} // namespace

LocalDateTime NowLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

SdSetLogic::SdSetLogic(UserPrompts& prompts, PlaybackHooks* hooks, platform::DiskService* disks)
    : prompts_(prompts), hooks_(hooks), disks_(disks) {}

std::string SdSetLogic::Tr(const char* english) const { return Translate(english); }

void SdSetLogic::Open(const LocalDateTime& now) {
  values_ = CameraSettings::Defaults();
  SetDateTime(now);
  volumes_ = ListCardVolumes();
  selected_ = -1;
  if (volumes_.empty()) {
    prompts_.Inform(Tr(sdtext::kNotFound));
    return;
  }
  SelectVolume(PreferredVolume(volumes_));
}

void SdSetLogic::SelectVolume(int i) {
  if (i < 0 || static_cast<size_t>(i) >= volumes_.size()) return;
  selected_ = i;
  const UsrSetStatus status = ReadUsrSetFile(volumes_[static_cast<size_t>(i)].root, &values_);
  loadProblem_ = status == UsrSetStatus::Ok ? std::string() : UsrSetStatusText(status);
}

void SdSetLogic::SetIndex(int option, int index) {
  if (option < 0 || option >= kCameraOptionCount || index < 0) return;
  values_.index[static_cast<size_t>(option)] = index;
}

void SdSetLogic::SetDateTime(const LocalDateTime& t) {
  values_.SetDateTime(t.year, t.month, t.day, t.hour, t.minute);
}

void SdSetLogic::SetTimeChecked(bool on, const LocalDateTime& now) {
  values_.setTime = on;
  SetDateTime(on ? now : LocalDateTime{});
}

bool SdSetLogic::Set() {
  if (selected_ < 0) {
    prompts_.Inform(Tr(sdtext::kNotFound));
    return false;
  }
  if (!WriteUsrSetFile(volumes_[static_cast<size_t>(selected_)].root, values_)) {
    prompts_.Inform(Tr(sdtext::kSaveError));
    return false;
  }
  prompts_.Inform(Tr(sdtext::kSaveSuccess));
  return true;
}

void SdSetLogic::Default(const LocalDateTime& now) {
  if (!prompts_.Confirm(Tr(sdtext::kAskDefault))) return;
  const CameraSettings defaults = CameraSettings::Defaults();
  values_.index = defaults.index;
  values_.setTime = false;
  SetDateTime(now);
}

bool SdSetLogic::CheckCardForChange(CardVolume* card) {
  if (selected_ < 0) {
    prompts_.Inform(Tr(sdtext::kNotFound));
    return false;
  }
  *card = volumes_[static_cast<size_t>(selected_)];
  std::string why;
  if (!IsCardRoot(card->root, &why)) {
    prompts_.Inform(Tr(sdtext::kNotACard) + "\n" + card->root + " (" + why + ")");
    return false;
  }
  if (hooks_)
    for (const std::string& path : hooks_->ExportPaths())
      if (PathIsOn(path, card->root)) {
        prompts_.Inform(Tr(sdtext::kInUseByExport));
        return false;
      }
  return true;
}

void SdSetLogic::StopIfPlayingOn(const std::string& root) {
  if (hooks_ && PathIsOn(hooks_->PlayingPath(), root)) hooks_->StopPlayback();
}

void SdSetLogic::Relist(const std::string& keepRoot) {
  volumes_ = ListCardVolumes();
  selected_ = volumes_.empty() ? -1 : PreferredVolume(volumes_);
  for (size_t i = 0; i < volumes_.size(); ++i)
    if (volumes_[i].root == keepRoot) selected_ = static_cast<int>(i);
}

void SdSetLogic::Format() {
  CardVolume card;
  if (!CheckCardForChange(&card)) return;
  std::string why;
  if (!disks_ || !disks_->Available(&why)) {
    prompts_.Inform(Tr(sdtext::kNoDiskService) + (why.empty() ? "" : "\n(" + why + ")"));
    return;
  }
  const auto device = disks_->FindByMountPoint(card.root, &why);
  if (!device) {
    prompts_.Inform(Tr(sdtext::kNoDevice) + "\n" + card.root + (why.empty() ? "" : " (" + why + ")"));
    return;
  }
  bool system = device->system;
  for (const std::string& m : device->mountPoints) system = system || IsSystemMount(m);
  if (!device->removable || system) {
    prompts_.Inform(Tr(sdtext::kNotRemovable) + "\n" + device->device);
    return;
  }
  const std::string type = device->size > kFat32Limit ? "exfat" : "vfat";
  const std::string label = device->label;
  const std::string question = Tr(sdtext::kAskFormat) + "\n\n" + Tr(sdtext::kDevice) + " " + device->device +
                               "\n" + (label.empty() ? "-" : label) + ", " + SizeText(device->size) + ", " +
                               card.root;
  if (!prompts_.Confirm(question)) return;
  StopIfPlayingOn(card.root);

  bool ok = disks_->Unmount(*device, &why);
  if (ok) {
    ok = disks_->Format(*device, type, label, &why);
    // Mounted again whether or not the format worked, so the card stays in the list.
    std::string mountWhy;
    const auto mounted = disks_->Mount(*device, &mountWhy);
    Relist(mounted ? *mounted : card.root);
  }
  if (ok) prompts_.Inform(Tr(sdtext::kFormatSuccess));
  else prompts_.Inform(Tr(sdtext::kFormatFail) + "\n" + device->device + (why.empty() ? "" : ": " + why));
}

void SdSetLogic::Clear() {
  CardVolume card;
  if (!CheckCardForChange(&card)) return;
  if (!prompts_.Confirm(Tr(sdtext::kAskClear) + "\n\n" + DescribeVolume(card))) return;
  StopIfPlayingOn(card.root);
  const ClearResult result = ClearCard(card.root);
  if (result.failed == 0) prompts_.Inform(Tr(sdtext::kClearSuccess));
  else prompts_.Inform(Tr(sdtext::kClearFail) + "\n" + Tr(sdtext::kItemsStayed) + " " + std::to_string(result.failed));
}
