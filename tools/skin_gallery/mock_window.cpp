#include "tools/skin_gallery/mock_window.h"

#include <cmath>

#include <QPainter>
#include <QTransform>

#include "app/logic/layout.h"
#include "skin/digi_static.h"
#include "skin/grid_ctrl.h"
#include "skin/month_cal_ctrl_ex.h"
#include "skin/skin_bitmaps.h"
#include "skin/vx_skin_button.h"
#include "skin/vx_skin_dialog.h"
#include "skin/vx_skin_sld_button.h"

namespace {

QRect ToQ(const layout::Rect& r) { return QRect(r.x, r.y, r.width, r.height); }

// The panel's instruments: compass with needle and position, G-sensor curves,
// the volume wedge.
class Instruments : public QWidget {
public:
  Instruments(const layout::PanelLayout& p, int volume, QWidget* parent) : QWidget(parent), p_(p), volume_(volume) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(p.size.width, p.size.height);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const double r = p_.scale;
    // G-sensor graph.
    QPixmap graph = skin::LoadSkinBitmap(p_.graphBitmap, devicePixelRatioF()).copy();
    {
      QPainter g(&graph);
      g.setRenderHint(QPainter::Antialiasing);
      const QColor colours[3] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 64, 255)};
      for (int axis = 0; axis < 3; ++axis) {
        QPolygonF line;
        for (int i = 0; i < p_.historySize; ++i) {
          const double v = axis == 2 ? 1.0 + 0.3 * std::sin(i / 7.0) : (axis ? 0.6 : -0.8) * std::sin(i / (11.0 + axis * 5));
          line << QPointF(p_.graphX0 + i, p_.graphY0 - std::trunc(v / 5 * p_.graphK));
        }
        g.setPen(QPen(colours[axis], 1));
        g.drawPolyline(line);
      }
    }
    painter.drawPixmap(ToQ(p_.graph), graph);
    // Compass.
    QPixmap dial = skin::LoadSkinBitmap(p_.dialBitmap, devicePixelRatioF()).copy();
    {
      QPainter d(&dial);
      d.setRenderHint(QPainter::SmoothPixmapTransform);
      QImage needle = skin::LoadSkinImage(p_.needleBitmap, devicePixelRatioF());
      QImage keyed = needle.convertToFormat(QImage::Format_ARGB32);
      for (int y = 0; y < keyed.height(); ++y)
        for (int x = 0; x < keyed.width(); ++x)
          if ((keyed.pixel(x, y) & 0xFFFFFF) == 0) keyed.setPixel(x, y, 0);
      d.translate(p_.needleCentreX, p_.needleCentreY);
      d.rotate(62);
      d.drawImage(QRectF(p_.needleLeft, p_.needleTop, p_.needleSize.width, p_.needleSize.height), keyed);
      d.resetTransform();
      QFont f(QStringLiteral("DejaVu Sans"));
      f.setPixelSize(static_cast<int>(12 * r + 0.5));
      d.setFont(f);
      d.setPen(QColor(255, 0, 0));
      d.drawText(QPoint(p_.latitudeX, p_.latitudeY + f.pixelSize()), QStringLiteral("   22.543210 N"));
      d.drawText(QPoint(p_.longitudeX, p_.longitudeY + f.pixelSize()), QStringLiteral("  114.057865 E"));
    }
    painter.drawPixmap(ToQ(p_.dial), dial, QRectF(0, 0, p_.dial.width * dial.devicePixelRatio(),
                                                  p_.dial.height * dial.devicePixelRatio()));
    // Volume wedge.
    const layout::WedgeParts w = layout::VolumeWedge(p_, volume_);
    const QPixmap full = skin::LoadSkinBitmap(p_.wedgeFull, devicePixelRatioF());
    const QPixmap empty = skin::LoadSkinBitmap(p_.wedgeEmpty, devicePixelRatioF());
    const qreal k = full.devicePixelRatio();
    painter.drawPixmap(ToQ(w.empty), empty, QRectF(0, 0, w.empty.width * k, w.empty.height * k));
    painter.drawPixmap(ToQ(w.filled), full, QRectF(w.filledSourceX * k, 0, w.filled.width * k, w.filled.height * k));
  }

private:
  const layout::PanelLayout& p_;
  int volume_;
};

void FillGrid(CGridCtrl* grid, const layout::GridPlace& g) {
  const QRect rect = ToQ(g.rect);
  grid->setGeometry(rect);
  grid->SetRowCount(1);
  grid->SetColumnCount(g.columns);
  grid->SetRowHeight(0, rect.height() + 1);
  const std::vector<int> widths = GridColumnWidths(rect.width(), g.columns);
  QFont label(QStringLiteral("DejaVu Sans"));
  label.setPixelSize(9);
  for (int c = 0; c < g.columns; ++c) {
    grid->SetColumnWidth(c, widths[c]);
    const int unit = c + g.offset;
    int status = 0;
    if (g.minutes) status = unit >= 12 && unit < 41 ? (unit >= 35 ? 3 : 2) : 0;
    else status = unit >= 8 && unit <= 10 ? 2 : unit == 14 ? 3 : 0;
    grid->SetItemBkColour(0, c, status == 2 ? QColor(0, 255, 0) : status == 3 ? QColor(255, 0, 0) : QColor(104, 104, 104));
    if (g.minutes && c % 5 == 0) {
      grid->SetItemFont(0, c, label);
      grid->SetItemText(0, c, QString::asprintf("%02d", unit));
    }
  }
}

} // namespace

PictureWidget::PictureWidget(int bitmap, QWidget* parent) : QWidget(parent) {
  pixmap_ = skin::LoadSkinBitmap(bitmap, devicePixelRatioF());
  const skin::SkinBitmapInfo* info = skin::FindSkinBitmap(bitmap);
  if (info) resize(info->width, info->height);
}

void PictureWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawPixmap(rect(), pixmap_);
}

QWidget* MakeMockWindow(int uiMode) {
  const layout::MainLayout& m = layout::MainLayoutFor(uiMode);
  const layout::PanelLayout& p = layout::PanelLayoutFor(uiMode);
  auto* main = new CVxSkinDialog(nullptr, Qt::Widget);
  main->resize(m.window.width, m.window.height);
  main->SetBackground(m.background);

  auto* banner = new PictureWidget(m.bannerBitmap, main);
  banner->setGeometry(ToQ(m.banner));
  auto* close = new CVxSkinButton(main);
  close->move(m.close.x, m.close.y);
  close->SetSkin(m.closeBitmap);
  auto* minimize = new CVxSkinButton(main);
  minimize->move(m.minimize.x, m.minimize.y);
  minimize->SetSkin(m.minimizeBitmap);

  for (const layout::GridPlace& g : m.grids) {
    if (!g.visible) continue;
    FillGrid(new CGridCtrl(main), g);
  }
  auto* calendar = new CMonthCalCtrlEx(main);
  calendar->setGeometry(ToQ(m.calendar));
  const QDate today = calendar->GetCurSel();
  for (int d : {-9, -8, -3, 0, 2}) calendar->MarkDay(today.addDays(d));

  auto* panel = new CVxSkinDialog(main);
  panel->setGeometry(ToQ(m.panel));
  panel->SetBackground(p.background);
  panel->EnableDrag(false);
  for (const layout::ButtonPlace& b : p.buttons) {
    if (!b.rect) continue;
    auto* button = new CVxSkinButton(panel);
    button->move(b.rect->x, b.rect->y);
    button->SetSkin(b.bitmap);
  }
  const int positions[3] = {360, 10, 4};
  for (int i = 0; i < 3; ++i) {
    const layout::SliderPlace& s = p.sliders[i];
    auto* slider = new CVxSkinSldButton(panel);
    slider->move(s.rect.x, s.rect.y);
    slider->SetSkin(s.trackBitmap);
    slider->SetThumb(s.thumbBitmap);
    slider->SetRange(0, s.rangeMax);
    slider->SetPos(positions[i]);
  }
  auto* digits = new CDigiStatic(panel);
  digits->setGeometry(ToQ(p.speedDigits));
  digits->SetColor(QColor(24, 16, 16), QColor(0, 255, 0));
  digits->SetTransparent(true);
  digits->ModifyDigiStyle(0, 0x06);
  digits->Format("%3.0f", 87.4);
  auto* separator = new QWidget(panel);
  separator->setGeometry(ToQ(p.separator));
  separator->setAutoFillBackground(true);
  QPalette black = separator->palette();
  black.setColor(QPalette::Window, Qt::black);
  separator->setPalette(black);
  new Instruments(p, positions[1], panel);
  panel->show(); // a dialog starts hidden, also as a child
  return main;
}
