#pragma once
#include <QDialog>
#include <QPixmap>

// A frameless dialog drawn from a background bitmap: the bitmap's four quarters
// go to the corners, its middle strips are stretched along the edges when the
// client area is larger, and the centre is left to the default background. The
// window shape follows the client rectangle (rounded by the corner ellipse).
// With dragging enabled, pressing the left button on the client area moves the
// window.
//
// Without a parent the dialog is a frameless top-level window (the main
// window). Given a parent and no window type in the flags it is a child widget
// of that parent (the play control panel); pass Qt::Dialog for a top-level
// dialog with a parent.
class CVxSkinDialog : public QDialog {
  Q_OBJECT
public:
  explicit CVxSkinDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::FramelessWindowHint);

  // Loads the numbered background bitmap and repaints. A number without artwork
  // leaves the dialog without a background (the default painting). Returns true.
  bool SetBackground(int bitmapNumber);
  void EnableDrag(bool enable) { drag_ = enable; }
  bool DragEnabled() const { return drag_; }
  // Corner ellipse of the window shape; 0 x 0 (the default) gives square corners.
  void SetCornerEllipse(int width, int height);

  bool HasBackground() const { return !background_.isNull(); }
  QSize BackgroundSize() const { return {bgWidth_, bgHeight_}; }

  // Moves the top-level window that holds `source` as if its title bar were
  // dragged from `globalPos` (the window system's own move where it offers one,
  // otherwise by following the mouse until the button is released).
  static void DragWindowOf(QWidget* source, const QPoint& globalPos);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // A language change renders the background again (its painted words).
  void changeEvent(QEvent* event) override;

private:
  void UpdateShape();

  QPixmap background_;
  int backgroundNumber_ = 0;
  int bgWidth_ = 0;
  int bgHeight_ = 0;
  bool drag_ = true;
  int ellipseWidth_ = 0;
  int ellipseHeight_ = 0;
};
