#include "skin/digi_static.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <initializer_list>

#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>

namespace {

using Shape = std::vector<QPoint>;

Shape Points(std::initializer_list<QPoint> points) { return Shape(points); }

// Mirrors about the character's axes (x: 48 - x, y: 82 - y).
Shape MirrorX(Shape s) {
  for (QPoint& p : s) p.setX(48 - p.x());
  return s;
}
Shape MirrorY(Shape s) {
  for (QPoint& p : s) p.setY(82 - p.y());
  return s;
}
Shape Turn(Shape s) { return MirrorX(MirrorY(std::move(s))); }

struct Code {
  char ch;
  int mask;
};

constexpr Code k7Segment[] = {{' ', 0x00}, {'0', 0x77}, {'1', 0x24}, {'2', 0x5D}, {'3', 0x6D}, {'4', 0x2E},
                              {'5', 0x6B}, {'6', 0x7B}, {'7', 0x25}, {'8', 0x7F}, {'9', 0x6F}, {'-', 0x08}};

constexpr Code k14Segment[] = {
    {' ', 0x0000},  {'0', 0x3F00},  {'1', 0x1800}, {'2', 0x36C0}, {'3', 0x3CC0}, {'4', 0x19C0}, {'5', 0x2DC0},
    {'6', 0x2FC0},  {'7', 0x3800},  {'8', 0x3FC0}, {'9', 0x3DC0}, {'-', 0x00C0}, {'A', 0x3BC0}, {'B', 0x3CA1},
    {'C', 0x2700},  {'D', 0x3C21},  {'E', 0x27C0}, {'F', 0x23C0}, {'G', 0x2F80}, {'H', 0x1BC0}, {'I', 0x2421},
    {'J', 0x1E00},  {'K', 0x0354},  {'L', 0x0700}, {'M', 0x1B06}, {'N', 0x1B12}, {'O', 0x3F00}, {'P', 0x33C0},
    {'Q', 0x3F10},  {'R', 0x33D0},  {'S', 0x2DC0}, {'T', 0x2021}, {'U', 0x1F00}, {'V', 0x030C}, {'W', 0x1B18},
    {'X', 0x001E},  {'Y', 0x11E0},  {'Z', 0x240C}, {'*', 0x00FF}, {'+', 0x00E1}, {'(', 0x0014}, {')', 0x000A},
    {'\\', 0x0012}, {'/', 0x000C},  {'\'', 0x0001}};

template <size_t N>
const Code* Find(const Code (&table)[N], char c) {
  for (const Code& code : table)
    if (code.ch == c) return &code;
  return nullptr;
}

// 3/4 of the segment colour and 1/4 of the background, channel by channel.
QColor Blend(const QColor& segment, const QColor& background) {
  auto mix = [](int s, int b) { return static_cast<int>(0.75 * s + 0.25 * b); };
  return QColor(mix(segment.red(), background.red()), mix(segment.green(), background.green()),
                mix(segment.blue(), background.blue()));
}

} // namespace

// ---------------------------------------------------------------- characters

void CDigiChar::SetElementData(int mask, int style) {
  mask_ = mask;
  hideUnlit_ = (style & 0x08) != 0;
}

void CDigiChar::Draw(QPainter& painter, const QRectF& rect, const QPen& offPen, const QPen& onPen,
                     const QBrush& offBrush, const QBrush& onBrush) const {
  const double sx = rect.width() / width_;
  const double sy = rect.height() / kDesignHeight;
  for (int i = 0; i < static_cast<int>(segments_.size()); ++i) {
    const bool lit = IsLit(i);
    if (!lit && hideUnlit_) continue;
    QPolygon polygon;
    for (const QPoint& p : segments_[i])
      polygon << QPoint(static_cast<int>(rect.left() + p.x() * sx + 0.5), static_cast<int>(rect.top() + p.y() * sy + 0.5));
    painter.setPen(lit ? onPen : offPen);
    painter.setBrush(lit ? onBrush : offBrush);
    painter.drawPolygon(polygon);
  }
}

CDigi7Segment::CDigi7Segment() {
  width_ = 49;
  segmentCount_ = 7;
}

void CDigi7Segment::SetElementData(int mask, int style) {
  const Shape a = Points({{5, 4}, {12, 11}, {36, 11}, {43, 4}});
  const Shape b = Points({{4, 6}, {4, 40}, {11, 36}, {11, 13}});
  segments_ = {a, b, MirrorX(b), Points({{6, 41}, {14, 45}, {34, 45}, {42, 41}, {34, 37}, {14, 37}}),
               MirrorY(b), Turn(b), MirrorY(a)};
  CDigiChar::SetElementData(mask, style);
}

CDigi14Segment::CDigi14Segment() {
  width_ = 49;
  segmentCount_ = 14;
}

void CDigi14Segment::SetElementData(int mask, int style) {
  const Shape c = Points({{20, 13}, {20, 36}, {24, 40}, {28, 36}, {28, 13}});
  const Shape d = Points({{5, 5}, {15, 35}, {20, 37}, {18, 25}});
  const Shape e = Points({{6, 41}, {14, 45}, {18, 45}, {22, 41}, {18, 37}, {14, 37}});
  const Shape f = Points({{4, 7}, {4, 40}, {11, 36}, {11, 26}});
  const Shape g = Points({{6, 4}, {11, 11}, {37, 11}, {42, 4}});
  segments_ = {c, d, MirrorX(d), MirrorY(d), Turn(d), MirrorY(c), e, MirrorX(e),
               f, MirrorY(f), MirrorY(g), Turn(f), MirrorX(f), g};
  CDigiChar::SetElementData(mask, style);
}

CDigiColonDotChar::CDigiColonDotChar() {
  width_ = 18;
  segmentCount_ = 3;
}

void CDigiColonDotChar::SetElementData(int mask, int style) {
  segments_ = {Points({{4, 23}, {4, 32}, {13, 32}, {13, 23}}), Points({{4, 50}, {4, 59}, {13, 59}, {13, 50}}),
               Points({{4, 68}, {4, 77}, {13, 77}, {13, 68}})};
  CDigiChar::SetElementData(mask, style);
}

// ---------------------------------------------------------------- the control

CDigiStatic::CDigiStatic(QWidget* parent) : QWidget(parent) {}

CDigiStatic::~CDigiStatic() = default;

void CDigiStatic::SetCaption(const QString& caption) {
  caption_ = caption;
  modified_ = true;
  update();
}

void CDigiStatic::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  modified_ = true;
  update();
}

void CDigiStatic::Format(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  SetText(QString::fromUtf8(buffer));
}

void CDigiStatic::SetColor(const QColor& off, const QColor& on) {
  if (off == offColor_ && on == onColor_) return;
  offColor_ = off;
  onColor_ = on;
  update();
}

QColor CDigiStatic::SetBkColor(const QColor& color) {
  const QColor previous = bkColor_;
  if (color != bkColor_) {
    bkColor_ = color;
    update();
  }
  return previous;
}

void CDigiStatic::SetTransparent(bool transparent) {
  transparent_ = transparent;
  update();
}

bool CDigiStatic::ModifyDigiStyle(int remove, int add) {
  if (remove & add) return false;
  style_ = (style_ | add) & ~remove;
  modified_ = true;
  update();
  return true;
}

std::vector<std::unique_ptr<CDigiChar>> CDigiStatic::BuildCharacters(const QString& text, int style) {
  std::vector<std::unique_ptr<CDigiChar>> out;
  for (QChar qc : text.toUpper()) {
    if (qc.unicode() > 0x7F) continue;
    const char c = static_cast<char>(qc.unicode());
    std::unique_ptr<CDigiChar> ch;
    int mask = 0;
    const bool number = (c >= '0' && c <= '9') || c == ' ' || c == '-';
    if (c == '.' || c == ':') {
      ch = std::make_unique<CDigiColonDotChar>();
      mask = c == '.' ? 0x04 : 0x03;
    } else if (const Code* code7 = number && !(style & kStyle14Segment) ? Find(k7Segment, c) : nullptr) {
      ch = std::make_unique<CDigi7Segment>();
      mask = code7->mask;
    } else if (const Code* code = Find(k14Segment, c)) {
      ch = std::make_unique<CDigi14Segment>();
      mask = code->mask;
    } else {
      continue;
    }
    ch->SetElementData(mask, style);
    out.push_back(std::move(ch));
  }
  return out;
}

void CDigiStatic::Rebuild() {
  characters_ = BuildCharacters(text_ == QStringLiteral("?") ? caption_ : text_, style_);
  modified_ = false;
}

const std::vector<std::unique_ptr<CDigiChar>>& CDigiStatic::Characters() {
  if (modified_) Rebuild();
  return characters_;
}

void CDigiStatic::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!transparent_) p.fillRect(rect(), bkColor_);
  const QColor offLine = style_ & kStyleBlendOutline ? Blend(offColor_, bkColor_) : offColor_;
  const QColor onLine = style_ & kStyleBlendOutline ? Blend(onColor_, bkColor_) : onColor_;
  const QPen offPen(offLine, 1), onPen(onLine, 1);
  const QBrush offBrush(offColor_), onBrush(onColor_);
  const auto& chars = Characters();
  int total = 0;
  for (const auto& c : chars) total += c->Width();
  if (total == 0) return; // nothing to show
  const double cw = width(), ch = height();
  double sx = cw / total, sy = ch / CDigiChar::kDesignHeight;
  double x0 = 0, y0 = 0;
  if (style_ & kStyleProportional) {
    sx = sy = std::min(sx, sy);
    x0 = (cw - total * sx) / 2;
    y0 = (ch - CDigiChar::kDesignHeight * sy) / 2;
  }
  for (const auto& c : chars) {
    const QRectF r(x0, y0, c->Width() * sx, CDigiChar::kDesignHeight * sy);
    c->Draw(p, r, offPen, onPen, offBrush, onBrush);
    x0 += c->Width() * sx;
  }
}
