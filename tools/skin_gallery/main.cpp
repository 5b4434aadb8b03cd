// velmora-skin-gallery: the look of one UI mode in one window: a stand-in of
// the main window with its panel, every skinned widget in each state, and every
// numbered bitmap the mode uses.
//
//   velmora-skin-gallery [--mode 0|1|2] [--screenshot FILE.png]
//
// With --screenshot the window is drawn into FILE.png and the program ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include "app/logic/layout.h"
#include "skin/digi_static.h"
#include "skin/grid_ctrl.h"
#include "skin/month_cal_ctrl_ex.h"
#include "skin/skin_bitmaps.h"
#include "skin/vx_skin_button.h"
#include "skin/vx_skin_sld_button.h"
#include "tools/common/options.h"
#include "tools/skin_gallery/mock_window.h"

namespace {

const QColor kPage(0x2a, 0x2e, 0x33);

QLabel* Caption(const QString& text, QWidget* parent, int x, int y, int width = 200) {
  auto* label = new QLabel(text, parent);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(10);
  label->setFont(f);
  label->setStyleSheet(QStringLiteral("color: #9aa3ad"));
  label->setGeometry(x, y, width, 13);
  return label;
}

QLabel* Heading(const QString& text, QWidget* parent, int x, int y) {
  QLabel* label = Caption(text, parent, x, y, 600);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(12);
  f.setBold(true);
  label->setFont(f);
  label->setStyleSheet(QStringLiteral("color: #e4971e"));
  label->setGeometry(x, y, 600, 16);
  return label;
}

// A bitmap at its own size with its number and size under it; returns the height used.
int Tile(int number, QWidget* parent, int x, int y) {
  const skin::SkinBitmapInfo* info = skin::FindSkinBitmap(number);
  auto* picture = new PictureWidget(number, parent);
  picture->move(x, y);
  Caption(QString::asprintf("%d  %dx%d%s", number, info->width, info->height, info->cells == 4 ? " x4" : ""), parent,
          x, y + info->height + 1, std::max(info->width, 90));
  return info->height + 15;
}

// One skinned button per state: normal, hover, pressed, checked, disabled.
void ButtonStates(int strip, QWidget* parent, int x, int y) {
  const char* names[] = {"normal", "hover", "pressed", "checked", "disabled"};
  for (int s = 0; s < 5; ++s) {
    auto* b = new CVxSkinButton(parent);
    b->move(x, y);
    b->SetSkin(strip);
    if (s == 1) {
      QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
      QCoreApplication::sendEvent(b, &enter);
    } else if (s == 2) {
      b->setDown(true);
    } else if (s == 3) {
      b->SetKind(CVxSkinButton::kCheckBox);
      b->SetCheck(true);
    } else if (s == 4) {
      b->setEnabled(false);
    }
    Caption(names[s], parent, x, y + b->height() + 1, 60);
    x += std::max(b->width(), 48) + 8;
  }
}

QWidget* Gallery(int mode) {
  auto* page = new QWidget;
  page->setWindowTitle(QStringLiteral("velmora-skin-gallery, UI mode %1").arg(mode));
  page->resize(1920, 1080);
  page->setAutoFillBackground(true);
  QPalette pal = page->palette();
  pal.setColor(QPalette::Window, kPage);
  page->setPalette(pal);

  // The main window of the mode: at its own size when it fits, else scaled.
  QWidget* mock = MakeMockWindow(mode);
  mock->setAttribute(Qt::WA_DontShowOnScreen);
  mock->show();
  const QPixmap shot = mock->grab();
  const QSize box(1280, 800);
  auto* preview = new QLabel(page);
  QPixmap shown = shot;
  if (mock->width() > box.width()) {
    shown = shot.scaled(box * shot.devicePixelRatio(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    shown.setDevicePixelRatio(shot.devicePixelRatio());
  }
  preview->setPixmap(shown);
  preview->setGeometry(0, 0, box.width(), box.height());
  preview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Caption(mock->width() > box.width() ? QStringLiteral("main window %1x%2, shown at 2/3").arg(mock->width()).arg(mock->height())
                                      : QStringLiteral("main window %1x%2").arg(mock->width()).arg(mock->height()),
          page, 4, std::min(box.height(), shown.height() / int(shown.devicePixelRatio())) + 2, 300);
  delete mock;

  // Widgets in their states, under the preview.
  int y = 820;
  Heading(QStringLiteral("Buttons"), page, 10, y);
  ButtonStates(140, page, 10, y + 22);
  ButtonStates(139, page, 10, y + 64);
  ButtonStates(134, page, 10, y + 116);

  const layout::PanelLayout& p = layout::PanelLayoutFor(mode);
  Heading(QStringLiteral("Sliders"), page, 330, y);
  int sy = y + 22;
  for (const layout::SliderPlace& s : p.sliders) {
    int sx = 330;
    for (int state = 0; state < 2; ++state) {
      auto* slider = new CVxSkinSldButton(page);
      slider->move(sx, sy);
      slider->SetSkin(s.trackBitmap);
      slider->SetThumb(s.thumbBitmap);
      slider->SetRange(0, s.rangeMax);
      slider->SetPos(state == 0 ? s.rangeMax / 2 : s.rangeMax);
      if (state == 0) slider->setDown(true);
      if (state == 1) slider->setEnabled(false);
      sx += slider->width() + 10;
    }
    sy += 24;
  }
  Caption(QStringLiteral("left: half way, pressed;  right: at the end, disabled"), page, 330, sy - 4, 500);

  Heading(QStringLiteral("Segment digits"), page, 330, sy + 14);
  struct DigitCase {
    const char* text;
    int remove, add;
    int w, h;
  };
  const DigitCase digitCases[] = {{" 87", 0, 0x06, 140, 44}, {"12:34", 0x10, 0, 120, 44}, {"KNOT", 0, 0x0A, 120, 44},
                                  {"-8.5", 0x04, 0, 96, 44}};
  int dx = 330;
  for (const DigitCase& c : digitCases) {
    auto* digits = new CDigiStatic(page);
    digits->setGeometry(dx, sy + 34, c.w, c.h);
    digits->ModifyDigiStyle(c.remove, c.add);
    digits->SetText(c.text);
    if (dx == 330) digits->SetColor(QColor(24, 16, 16), QColor(0, 255, 0));
    Caption(QString::asprintf("\"%s\" style 0x%02X", c.text, digits->DigiStyle()), page, dx, sy + 80, c.w + 12);
    dx += c.w + 14;
  }

  Heading(QStringLiteral("Calendar and timeline"), page, 860, y);
  auto* calendar = new CMonthCalCtrlEx(page);
  const layout::MainLayout& m = layout::MainLayoutFor(mode);
  calendar->setGeometry(860, y + 22, m.calendar.width, m.calendar.height);
  const QDate today = calendar->GetCurSel();
  for (int d : {-12, -11, -4, 1, 3, 9}) calendar->MarkDay(today.addDays(d));
  auto* grid = new CGridCtrl(page);
  const std::vector<int> widths = GridColumnWidths(300, 30);
  grid->setGeometry(860, y + 30 + m.calendar.height, 300, 14);
  grid->SetRowCount(1);
  grid->SetColumnCount(30);
  grid->SetRowHeight(0, 15);
  QFont label(QStringLiteral("DejaVu Sans"));
  label.setPixelSize(9);
  for (int c = 0; c < 30; ++c) {
    grid->SetColumnWidth(c, widths[c]);
    grid->SetItemBkColour(0, c, c < 8 ? QColor(104, 104, 104) : c < 22 ? QColor(0, 255, 0) : QColor(255, 0, 0));
    if (c % 5 == 0) {
      grid->SetItemFont(0, c, label);
      grid->SetItemText(0, c, QString::asprintf("%02d", c));
    }
  }
  grid->SetFocusCell(0, 12);

  // Every bitmap of the mode, right of the preview.
  Heading(QStringLiteral("Bitmaps of UI mode %1").arg(mode), page, 1290, 4);
  int bx = 1290, by = 26, rowHeight = 0;
  auto place = [&](int number) {
    const skin::SkinBitmapInfo* info = skin::FindSkinBitmap(number);
    const int w = std::max(info->width, 90);
    if (bx + w > 1915) {
      bx = 1290;
      by += rowHeight + 4;
      rowHeight = 0;
    }
    rowHeight = std::max(rowHeight, Tile(number, page, bx, by));
    bx += w + 10;
  };
  const skin::SkinModeBitmaps& mb = skin::SkinBitmapsOf(mode);
  std::vector<int> numbers = skin::SkinBitmapsForMode(mode);
  const int big[] = {mb.mainBackground, mb.panelBackground, 170};
  const int tracks[] = {mb.positionTrack, mb.volumeTrack, mb.speedTrack};
  for (int n : numbers) {
    const skin::SkinBitmapInfo* info = skin::FindSkinBitmap(n);
    if (std::find(std::begin(big), std::end(big), n) != std::end(big)) continue;
    if (std::find(std::begin(tracks), std::end(tracks), n) != std::end(tracks)) continue;
    if (info->cells == 4) place(n);
  }
  for (int n : numbers) {
    const skin::SkinBitmapInfo* info = skin::FindSkinBitmap(n);
    if (std::find(std::begin(big), std::end(big), n) != std::end(big)) continue;
    if (std::find(std::begin(tracks), std::end(tracks), n) != std::end(tracks)) continue;
    if (info->cells == 1) place(n);
  }
  // Tracks: the four cells one under the other.
  bx = 1290;
  by += rowHeight + 8;
  int trackRow = 0;
  for (int n : tracks) {
    const skin::SkinBitmapInfo* info = skin::FindSkinBitmap(n);
    if (bx + info->width / 4 > 1780) {
      bx = 1290;
      by += trackRow + 20;
      trackRow = 0;
    }
    trackRow = std::max(trackRow, 4 * (info->height + 2));
    const int cw = info->width / 4;
    const QPixmap strip = skin::LoadSkinBitmap(n, page->devicePixelRatioF());
    const qreal k = strip.devicePixelRatio();
    for (int c = 0; c < 4; ++c) {
      auto* cell = new QLabel(page);
      QPixmap one = strip.copy(QRect(int(c * cw * k), 0, int(cw * k), int(info->height * k)));
      one.setDevicePixelRatio(k);
      cell->setPixmap(one);
      cell->setGeometry(bx, by + c * (info->height + 2), cw, info->height);
    }
    Caption(QString::asprintf("%d  %dx%d x4", n, info->width, info->height), page, bx, by + 4 * (info->height + 2), cw);
    bx += cw + 10;
  }
  Tile(170, page, 1790, 700);
  return page;
}

constexpr const char* kProgram = "velmora-skin-gallery";

void GalleryUsage(FILE* to) {
  std::fputs("Usage: velmora-skin-gallery [--mode 0|1|2] [--screenshot FILE.png]\n"
             "Shows every skinned widget in each state and every bitmap of a UI mode\n"
             "(0 = 960*600, 1 = 1280*800, 2 = 1920*1080; default 1).\n\n"
             "  --screenshot FILE.png  save a picture of the gallery and end\n"
             "  --help, -h             this text\n"
             "  --version              the program's version\n",
             to);
}

} // namespace

int main(int argc, char** argv) {
  // The arguments first: --help and --version need no display.
  const std::vector<OptionRule> rules = {{"--mode", nullptr, "0|1|2"}, {"--screenshot", nullptr, "FILE.png"}};
  ParsedOptions parsed;
  switch (ParseOptions(kProgram, rules, {argv + 1, argv + argc}, &parsed)) {
    case ParseResult::Help: GalleryUsage(stdout); return 0;
    case ParseResult::Version: PrintVersion(kProgram); return 0;
    case ParseResult::Error: return 2;
    case ParseResult::Ok: break;
  }
  if (!parsed.operands.empty()) {
    GalleryUsage(stderr);
    return 2;
  }
  const int mode = parsed.Has("--mode") ? layout::ClampUiMode(std::atoi(parsed.Value("--mode").c_str())) : 1;
  const std::string screenshotPath = parsed.Value("--screenshot");
  const char* screenshot = screenshotPath.empty() ? nullptr : screenshotPath.c_str();

  QApplication app(argc, argv);
  QWidget* gallery = Gallery(mode);
  gallery->show();
  if (screenshot) {
    QTimer::singleShot(300, [&] {
      const bool ok = gallery->grab().save(QString::fromLocal8Bit(screenshot));
      if (!ok) std::fprintf(stderr, "cannot write %s\n", screenshot);
      app.exit(ok ? 0 : 1);
    });
  }
  const int rc = app.exec();
  delete gallery;
  return rc;
}
