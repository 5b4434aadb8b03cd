#include "skin/skin_bitmaps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QSvgRenderer>
#include <QWidget>

#include "platform/tr_key.h"
#include "skin/skin_language.h"

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

// The words the artwork paints, by the English key its text elements carry
// (data-label); only these are translated.
constexpr const char* kPaintedKeys[] = {
    TR_KEY("No Video"), TR_KEY("Map"),   TR_KEY("Min"),   TR_KEY("Hour"),
    TR_KEY("Timeline"), TR_KEY("Speed"), TR_KEY("Dash Camera Player"),
};

bool IsPaintedKey(const QString& key) {
  for (const char* k : kPaintedKeys)
    if (key == QLatin1String(k)) return true;
  return false;
}

QString Attribute(const QString& attributes, const QString& name) {
  const QRegularExpression re(QStringLiteral("\\b%1=\"([^\"]*)\"").arg(name));
  const QRegularExpressionMatch m = re.match(attributes);
  return m.hasMatch() ? m.captured(1) : QString();
}

// Width of a text in the element's face, size and weight.
double TextWidth(const QString& attributes, const QString& text) {
  QFont font(Attribute(attributes, QStringLiteral("font-family")));
  font.setPixelSize(100); // measured large, then scaled: sizes are fractional
  font.setBold(Attribute(attributes, QStringLiteral("font-weight")) == QLatin1String("bold"));
  const double size = Attribute(attributes, QStringLiteral("font-size")).toDouble();
  return QFontMetricsF(font).horizontalAdvance(text) * size / 100.0;
}

QString XmlEscaped(const QString& text) { return text.toHtmlEscaped(); }

// <text ATTRIBUTES data-label="KEY" ...>WORD</text>
const QRegularExpression& LabelPattern() {
  static const QRegularExpression re(QStringLiteral("<text([^>]*\\bdata-label=\"([^\"]*)\"[^>]*)>([^<]*)</text>"));
  return re;
}

PaintedLabel LabelOf(const QRegularExpressionMatch& m) {
  const QString attributes = m.captured(1);
  PaintedLabel label;
  label.key = m.captured(2).toStdString();
  label.text = LanguageLocale().toUpper(TranslatedText(label.key.c_str()));
  label.room = Attribute(attributes, QStringLiteral("data-room")).toDouble();
  label.width = TextWidth(attributes, label.text);
  return label;
}

QByteArray ArtworkOf(const SkinBitmapInfo& info) {
  QFile file(QStringLiteral(":/skin/art/") + QString::fromLatin1(info.source));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The artwork with its painted words in the language in use.
QByteArray TranslatedArtwork(const QByteArray& svg) {
  if (!svg.contains("data-label=")) return svg;
  const QString source = QString::fromUtf8(svg);
  QString out;
  qsizetype done = 0;
  for (auto it = LabelPattern().globalMatch(source); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    out += QStringView(source).mid(done, m.capturedStart() - done);
    done = m.capturedEnd();
    if (!IsPaintedKey(m.captured(2))) {
      out += m.captured(0);
      continue;
    }
    const PaintedLabel label = LabelOf(m);
    QString attributes = m.captured(1);
    if (label.room > 0 && label.width > label.room) {
      const double size = Attribute(attributes, QStringLiteral("font-size")).toDouble() * label.room / label.width;
      attributes.replace(QRegularExpression(QStringLiteral("\\bfont-size=\"[^\"]*\"")),
                         QStringLiteral("font-size=\"%1\"").arg(size, 0, 'f', 2));
    }
    out += QStringLiteral("<text") + attributes + QLatin1Char('>') + XmlEscaped(label.text) + QStringLiteral("</text>");
  }
  out += QStringView(source).mid(done);
  return out.toUtf8();
}

std::map<std::pair<int, qreal>, QImage>& Cache() {
  static std::map<std::pair<int, qreal>, QImage> cache;
  return cache;
}

qreal ScreenRatio() {
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    if (QScreen* screen = app->primaryScreen()) return screen->devicePixelRatio();
  return 1.0;
}

QImage Render(const SkinBitmapInfo& info, qreal ratio) {
  QSvgRenderer renderer(TranslatedArtwork(ArtworkOf(info)));
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
  auto& cache = Cache();
  auto key = std::make_pair(number, ratio);
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, Render(*info, ratio)).first;
  return it->second;
}

QPixmap LoadSkinBitmap(int number, qreal devicePixelRatio) {
  QImage image = LoadSkinImage(number, devicePixelRatio);
  return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

std::vector<PaintedLabel> PaintedLabelsOf(int number) {
  std::vector<PaintedLabel> labels;
  const SkinBitmapInfo* info = FindSkinBitmap(number);
  if (!info) return labels;
  const QString source = QString::fromUtf8(ArtworkOf(*info));
  for (auto it = LabelPattern().globalMatch(source); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (IsPaintedKey(m.captured(2))) labels.push_back(LabelOf(m));
  }
  return labels;
}

void ApplyLanguage() {
  Cache().clear();
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  for (QWidget* w : QApplication::allWidgets()) {
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(w, &change);
  }
}

} // namespace skin
