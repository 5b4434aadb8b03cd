#pragma once
// The player's main window: frameless, in one of three fixed layouts, holding
// the play control panel, the video area, the map, the calendar and the four
// timeline grids. It receives the pipeline's telemetry and file-change
// messages, notices cards coming in, and opens dropped files.
#include <array>
#include <memory>
#include <string>

#include <QTimer>

#include "app/logic/card_watcher.h"
#include "app/logic/keymap.h"
#include "app/logic/layout.h"
#include "app/logic/timeline.h"
#include "app/panel/play_ctrl_dlg.h"
#include "skin/vx_skin_dialog.h"

class CDevShowDlg;
class CMapDlg;
class CMonthCalCtrlEx;
class CVxSkinButton;
class PictureStatic;
class QLabel;
class TimelineStrip;
namespace platform {
class DiskService;
}

class CVelmoraDlg : public CVxSkinDialog, public PanelHost {
  Q_OBJECT
public:
  explicit CVelmoraDlg(int uiMode, VolumeMixer& mixer);
  ~CVelmoraDlg() override;

  // The recording to open at start instead of the card (every '"' removed).
  void SetStartFile(const std::string& file);
  // Opens the start file, or the card when there is none (silently when
  // there is no card).
  void StartPlaying();
  // Stops the export job and the channel: nothing writes to the windows after.
  void Shutdown();

  // A key of the player; false when it is not one (it then goes on normally).
  bool HandleKey(int key, uint32_t modifiers);

  CPlayCtrlDlg& Panel() { return *panel_; }
  CDevShowDlg& VideoArea() { return *video_; }
  CMapDlg& MapWindow() { return *map_; }
  CMonthCalCtrlEx& Calendar() { return *calendar_; }
  // The notice line's text ("" while none is shown).
  QString NoticeText() const;
  TimelineStrip& Grid(int id);
  TimelineModel& Timeline() { return timeline_; }
  const layout::MainLayout& Layout() const { return layout_; }
  int TrackIndex() const { return trackIndex_; }

  void RebuildTimeline();
  void MarkCalendarDays();
  void ColourGrids();
  // A click on a timeline grid.
  void GridClicked(int id, int column);

  // PanelHost
  VideoTarget* VideoWindow() override;
  std::shared_ptr<platform::MessageTarget> MainWindowTarget(uint64_t tag) override;
  void PlaybackOpened() override;
  void PlaybackStopped() override;
  void RecordingsChanged() override;
  void ShowNotice(const std::string& text) override;
  void MapButton() override;
  void ConfigButton() override;
  void SdSetButton() override;

protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

private:
  void Layout();
  // Makes the map's browser (once) and shows the map when playback wants it.
  void StartMap();
  void OnTelemetry();
  void PollCards();

  const layout::MainLayout& layout_;
  std::string startFile_;
  PictureStatic* banner_ = nullptr;
  QLabel* notice_ = nullptr;
  CVxSkinButton* close_ = nullptr;
  CVxSkinButton* minimize_ = nullptr;
  CDevShowDlg* video_ = nullptr;
  CMapDlg* map_ = nullptr;
  CMonthCalCtrlEx* calendar_ = nullptr;
  std::unique_ptr<platform::DiskService> disks_;
  std::array<TimelineStrip*, 4> grids_{};
  CPlayCtrlDlg* panel_ = nullptr;
  TimelineModel timeline_;
  TelemetryShown shown_;
  int trackIndex_ = 1;
  CardWatcher cards_;
  std::string cardFolder_; // the card opened last ("" when none)
  bool mapWanted_ = false;  // playback waits for the map's browser
  bool mapScheduled_ = false;
  QTimer cardTimer_;
};
