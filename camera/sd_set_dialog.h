#pragma once
// The "SD Card Setup" dialog: shows the camera settings of a card and forwards
// its buttons to SdSetLogic. Controls are reached by their dialog ids.
#include <QDialog>
#include <functional>
#include <map>
#include <memory>

#include "app/qt_prompts.h"
#include "camera/sd_set_logic.h"

class QComboBox;
class QTimer;

namespace platform {
class DiskService;
}

class CDlgSDSet : public QDialog {
public:
  // hooks: the play control panel (may be null); disks: the disk service used
  // to format (may be null: formatting then says it is not available);
  // prompts: the user's answers (null: message boxes).
  CDlgSDSet(PlaybackHooks* hooks, platform::DiskService* disks, UserPrompts* prompts = nullptr,
            QWidget* parent = nullptr);
  ~CDlgSDSet() override;

  // The control with a dialog id (1 Set, 2 Cancel, 3 Default, 4 Format, 5
  // Clear, 1021 drive list, 1002.. lists, 1005 picker, 1049 set-time box,
  // labels by their ids); null when there is none.
  QWidget* Control(int id) const;
  // The clock the dialog reads when it takes "now" (tests fix it).
  void SetClock(std::function<LocalDateTime()> now) { now_ = std::move(now); }
  // Fills the lists now instead of one second after opening.
  void FillNow();
  const SdSetLogic& Logic() const { return logic_; }

  // What the buttons and controls do (also reachable from tests).
  void LoadFromCard(int volume);
  void SaveToCard();
  void OnDefault();
  void OnFormat();
  void OnClear();
  void OnSetTime(bool checked);

private:
  void Build();
  void ShowValues();
  void ShowVolumes();
  void Add(int id, QWidget* w);

  std::unique_ptr<QtPrompts> ownPrompts_;
  SdSetLogic logic_;
  std::function<LocalDateTime()> now_ = NowLocal;
  std::map<int, QWidget*> controls_;
  QTimer* fillTimer_ = nullptr;
  bool filled_ = false;
  bool showing_ = false; // controls are being set from the values: their signals change nothing
};
