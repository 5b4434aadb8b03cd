#pragma once
#include <memory>
#include <vector>

#include <QBrush>
#include <QColor>
#include <QPen>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

// One character of a segment display: its segments as closed polygons in
// design units (x 0..width, y 0..83) and the mask of the lit ones.
class CDigiChar {
public:
  static constexpr int kDesignHeight = 83;

  CDigiChar() = default;
  virtual ~CDigiChar() = default;
  CDigiChar(const CDigiChar&) = default;
  CDigiChar& operator=(const CDigiChar&) = default;

  // Rebuilds the segment shapes (in the kinds below), stores the mask and takes
  // "hide unlit" from style bit 0x08.
  virtual void SetElementData(int mask, int style);

  int Width() const { return width_; }
  int Mask() const { return mask_; }
  int SegmentCount() const { return segmentCount_; }
  bool HideUnlit() const { return hideUnlit_; }
  bool IsLit(int segment) const { return (mask_ >> segment) & 1; }
  const std::vector<std::vector<QPoint>>& Segments() const { return segments_; }

  // Fills and outlines every segment (lit ones with the on pen and brush, unlit
  // ones with the off pair unless hidden) scaled into rect.
  void Draw(QPainter& painter, const QRectF& rect, const QPen& offPen, const QPen& onPen, const QBrush& offBrush,
            const QBrush& onBrush) const;

protected:
  int width_ = 49;
  int mask_ = 0;
  std::vector<std::vector<QPoint>> segments_;
  int segmentCount_ = 0;
  bool hideUnlit_ = false;
};

class CDigi7Segment : public CDigiChar {
public:
  CDigi7Segment();
  void SetElementData(int mask, int style) override;
};

class CDigi14Segment : public CDigiChar {
public:
  CDigi14Segment();
  void SetElementData(int mask, int style) override;
};

class CDigiColonDotChar : public CDigiChar {
public:
  CDigiColonDotChar();
  void SetElementData(int mask, int style) override;
};

// A static control that shows a short text as lit and unlit segments scaled to
// its client area. Digits, space and minus are 7-segment characters (14-segment
// with style bit 0x02), letters and a few signs 14-segment, "." and ":" the
// narrow colon/dot character; lower case shows as upper case; other characters
// are skipped.
class CDigiStatic : public QWidget {
  Q_OBJECT
public:
  enum Style {
    kStyle14Segment = 0x02,  // digits, space and minus as 14-segment characters
    kStyleProportional = 0x04, // one scale for x and y, text centred
    kStyleHideUnlit = 0x08,
    kStyleBlendOutline = 0x10, // outlines 3/4 segment colour, 1/4 background
  };

  explicit CDigiStatic(QWidget* parent = nullptr);
  ~CDigiStatic() override;

  // The control's own caption (as a dialog template gives it); shown while the
  // text is "?" (the text it starts with).
  void SetCaption(const QString& caption);
  void SetText(const QString& text);
  QString Text() const { return text_; }
  // printf-style formatting, then SetText.
  void Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void SetColor(const QColor& off, const QColor& on);
  QColor OffColor() const { return offColor_; }
  QColor OnColor() const { return onColor_; }
  // Returns the previous background colour.
  QColor SetBkColor(const QColor& color);
  // Draws over what lies behind the control instead of filling the background.
  void SetTransparent(bool transparent);
  // False (and nothing changed) when remove and add share a bit.
  bool ModifyDigiStyle(int remove, int add);
  int DigiStyle() const { return style_; }

  // The characters the text gives with a style (what the next paint shows).
  static std::vector<std::unique_ptr<CDigiChar>> BuildCharacters(const QString& text, int style);
  // The characters of the control now (rebuilt when the text or style changed).
  const std::vector<std::unique_ptr<CDigiChar>>& Characters();

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void Rebuild();

  QString caption_;
  QString text_ = QStringLiteral("?");
  bool modified_ = true;
  std::vector<std::unique_ptr<CDigiChar>> characters_;
  QColor offColor_{0, 52, 0};
  QColor onColor_{0, 255, 0};
  QColor bkColor_{0, 0, 0};
  int style_ = 0x14;
  bool transparent_ = false;
};
