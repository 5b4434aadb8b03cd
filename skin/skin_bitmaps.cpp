#include "skin/skin_bitmaps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

namespace skin {
namespace {

// number, artwork, width, height, cells
constexpr std::array kTable = std::to_array<SkinBitmapInfo>({
    {130, "bg_panel_1280.svg", 271, 800, 1},
    {131, "bg_main_1280.svg", 1280, 800, 1},
    {132, "gsensor.svg", 251, 73, 1},
    {133, "track_position.svg", 976, 18, 4},
    {134, "btn_close.svg", 112, 24, 4},
    {135, "btn_maximize.svg", 112, 24, 4},
    {136, "btn_minimize.svg", 112, 24, 4},
    {138, "btn_muted.svg", 128, 22, 4},
    {139, "btn_open.svg", 148, 34, 4},
    {140, "btn_play.svg", 128, 22, 4},
    {141, "btn_pause.svg", 128, 22, 4},
    {142, "btn_stop.svg", 128, 22, 4},
    {143, "btn_faster.svg", 128, 22, 4},
    {144, "btn_slower.svg", 128, 22, 4},
    {145, "btn_next_frame.svg", 128, 22, 4},
    {146, "btn_prev_frame.svg", 128, 22, 4},
    {147, "btn_snapshot.svg", 148, 34, 4},
    {148, "btn_sound.svg", 128, 22, 4},
    {151, "thumb_car.svg", 24, 18, 1},
    {152, "track_volume.svg", 796, 16, 4},
    {153, "track_speed.svg", 796, 10, 4},
    {154, "thumb_speed.svg", 10, 8, 1},
    {155, "thumb_volume.svg", 10, 16, 1},
    {156, "compass_dial.svg", 216, 209, 1},
    {158, "compass_needle.svg", 15, 51, 1},
    {159, "volume_filled.svg", 202, 46, 1},
    {160, "volume_empty.svg", 202, 46, 1},
    {161, "btn_prev_file.svg", 128, 22, 4},
    {162, "btn_next_file.svg", 128, 22, 4},
    {163, "btn_config.svg", 148, 34, 4},
    {166, "unit_knot.svg", 52, 20, 1},
    {167, "unit_mph.svg", 52, 20, 1},
    {170, "side_decoration.svg", 120, 360, 1},
    {437, "btn_map.svg", 148, 34, 4},
    {438, "bg_main_960.svg", 960, 600, 1},
    {439, "bg_panel_960.svg", 203, 600, 1},
    {440, "compass_dial_960.svg", 162, 171, 1},
    {441, "gsensor_960.svg", 188, 55, 1},
    {442, "track_volume_960.svg", 596, 16, 4},
    {443, "volume_empty_960.svg", 152, 35, 1},
    {444, "volume_filled_960.svg", 152, 35, 1},
    {445, "track_speed_960.svg", 596, 8, 4},
    {446, "track_position_960.svg", 732, 18, 4},
    {447, "btn_reverse.svg", 128, 22, 4},
    {448, "bg_main_1920.svg", 1920, 1080, 1},
    {449, "btn_save.svg", 148, 34, 4},
    {450, "btn_mark_in.svg", 128, 22, 4},
    {451, "btn_mark_out.svg", 128, 22, 4},
    {452, "btn_backup.svg", 128, 22, 4},
    {454, "bg_panel_1920.svg", 271, 800, 1},
    {456, "btn_backup_running.svg", 128, 22, 4},
    {457, "btn_sd_setup.svg", 128, 22, 4},
    {459, "title_banner.svg", 480, 30, 1},
});

// main, panel, position, volume, speed tracks, G-sensor, compass, wedge filled, empty
constexpr std::array<SkinModeBitmaps, 3> kModes = {{
    {438, 439, 446, 442, 445, 441, 440, 444, 443},
    {131, 130, 133, 152, 153, 132, 156, 159, 160},
    {448, 454, 133, 152, 153, 132, 156, 159, 160},
}};

// Bitmaps every layout shares: title bar, panel buttons, thumbs, needle, unit
// pictures, the dialogs' side decoration.
constexpr std::array kShared = {134, 135, 136, 138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 151,
                                154, 155, 158, 161, 162, 163, 166, 167, 170, 437, 447, 449, 450, 451, 452,
                                456, 457, 459};

qreal ScreenRatio() {
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    if (QScreen* screen = app->primaryScreen()) return screen->devicePixelRatio();
  return 1.0;
}

QImage Render(const SkinBitmapInfo& info, qreal ratio) {
  QSvgRenderer renderer(QStringLiteral(":/skin/art/") + QString::fromLatin1(info.source));
  if (!renderer.isValid()) return {};
  const QSize device(static_cast<int>(std::lround(info.width * ratio)), static_cast<int>(std::lround(info.height * ratio)));
  QImage image(device, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter, QRectF(0, 0, device.width(), device.height()));
  painter.end();
  image.setDevicePixelRatio(ratio);
  return image;
}

} // namespace

std::span<const SkinBitmapInfo> SkinBitmapTable() { return kTable; }

const SkinBitmapInfo* FindSkinBitmap(int number) {
  auto it = std::lower_bound(kTable.begin(), kTable.end(), number,
                             [](const SkinBitmapInfo& e, int n) { return e.number < n; });
  return it != kTable.end() && it->number == number ? &*it : nullptr;
}

const SkinModeBitmaps& SkinBitmapsOf(int uiMode) { return kModes[uiMode >= 0 && uiMode <= 2 ? uiMode : 1]; }

std::vector<int> SkinBitmapsForMode(int uiMode) {
  const SkinModeBitmaps& m = SkinBitmapsOf(uiMode);
  std::vector<int> numbers(kShared.begin(), kShared.end());
  numbers.insert(numbers.end(), {m.mainBackground, m.panelBackground, m.positionTrack, m.volumeTrack, m.speedTrack,
                                 m.gsensorGraph, m.compassDial, m.volumeFilled, m.volumeEmpty});
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

QImage LoadSkinImage(int number, qreal devicePixelRatio) {
  const SkinBitmapInfo* info = FindSkinBitmap(number);
  if (!info) return {};
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : ScreenRatio();
  static std::map<std::pair<int, qreal>, QImage> cache;
  auto key = std::make_pair(number, ratio);
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, Render(*info, ratio)).first;
  return it->second;
}

QPixmap LoadSkinBitmap(int number, qreal devicePixelRatio) {
  QImage image = LoadSkinImage(number, devicePixelRatio);
  return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

} // namespace skin
