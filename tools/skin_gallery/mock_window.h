#pragma once
#include <QPixmap>
#include <QWidget>

// A stand-in of the main window and its play control panel for one UI mode,
// laid out from the layout tables and drawn with the skin widgets, with a
// little made-up telemetry. For judging the artwork, not for playing.
QWidget* MakeMockWindow(int uiMode);

// Draws one numbered bitmap stretched over the widget (as the picture
// controls of the windows do).
class PictureWidget : public QWidget {
public:
  PictureWidget(int bitmap, QWidget* parent);

protected:
  void paintEvent(QPaintEvent*) override;

private:
  QPixmap pixmap_;
};
