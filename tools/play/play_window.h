#pragma once
#include <memory>
#include <string>

#include <QSize>
#include <QWidget>

#include "app/qt_message_target.h"
#include "core/find_file_path.h"

class CTSChn;
class CVideoStatic;
class QLabel;

// A plain window holding one video window and one channel: it plays a recording
// (or a folder of recordings) at once and takes the playback commands as keys.
class PlayWindow : public QWidget {
  Q_OBJECT
public:
  struct Options {
    std::string path;  // a recording, or a folder of recordings
    bool audio = true; // false: no audio is queued at any speed
  };

  explicit PlayWindow(const Options& options);
  ~PlayWindow() override;

  // Opens and starts the channel. False (with a message on standard error) when a
  // folder holds no recordings.
  bool Play();
  // Pictures shown since Play, and the seconds since then.
  int64_t PicturesShown() const { return shownTotal_; }
  // Pictures put on screen more than one interval late.
  int LatePictures() const;

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  bool Command(int key, Qt::KeyboardModifiers modifiers);
  void OnMessage(uint32_t message, uintptr_t wParam);
  void UpdateTitle();
  void Note(const QString& text); // a short status shown in the title

  Options options_;
  CVideoStatic* video_ = nullptr;
  QLabel* help_ = nullptr;
  QtMessageTarget messages_{this};
  std::unique_ptr<CTSChn> channel_;
  int position_ = 0; // reader position, permille
  int fps_ = 0;
  int64_t shownTotal_ = 0;
  QString note_;
};
