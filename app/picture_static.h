#pragma once
// A picture control: one numbered skin bitmap stretched over the whole widget
// (the title banner, the speed-unit picture).
#include <QPixmap>
#include <QWidget>

class PictureStatic : public QWidget {
public:
  explicit PictureStatic(QWidget* parent = nullptr) : QWidget(parent) {}
  void SetBitmap(int number);
  int Bitmap() const { return number_; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  int number_ = 0;
  QPixmap pixmap_;
};
