#pragma once
// The video area: holds the video window, docked in the main window or floating
// as a window of its own (800 x 470), and full screen from floating.
#include <QRect>
#include <QWidget>

class CVideoStatic;

class CDevShowDlg : public QWidget {
  Q_OBJECT
public:
  explicit CDevShowDlg(QWidget* mainWindow);
  ~CDevShowDlg() override;

  CVideoStatic* Video() const { return video_; }
  bool Floating() const { return floating_; }
  bool FullScreen() const;

  void Dock();
  void Undock();
  void SetDockRect(const QRect& r);
  // Double click: docked -> floating -> full screen -> floating.
  void DoubleClick();
  // Leaves full screen when in it; true when it was.
  bool LeaveFullScreen();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  QWidget* mainWindow_;
  CVideoStatic* video_;
  bool floating_ = false;
  QRect dock_;
};
