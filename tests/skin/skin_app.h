#pragma once
#include <functional>

#include <QColor>
#include <QImage>

class QWidget;

namespace skintest {

// Makes sure a QApplication exists (offscreen unless a platform is chosen).
void EnsureApp();
// Runs the event loop until pred holds (at most timeoutMs); false on time-out.
bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// Delivers posted events now.
void Flush();
// The widget as drawn, at one device pixel per logical pixel.
QImage Grab(QWidget* widget);
QColor Pixel(const QImage& image, int x, int y);

} // namespace skintest
