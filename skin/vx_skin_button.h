#pragma once
#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

// A button drawn from a horizontal strip of four equal cells: 0 normal,
// 1 hover, 2 pressed or checked, 3 disabled. The window takes the size of one
// cell when the strip is set. Push buttons, check boxes and radio buttons;
// checking a radio unchecks the other radios of its group (same parent, same
// group number) by posting them WM_SKIN_RADIO_UNCHECK. clicked() reports a
// click to the parent.
class CVxSkinButton : public QAbstractButton {
  Q_OBJECT
public:
  enum Kind { kPushButton = 0, kCheckBox = 2, kRadioButton = 4 };

  explicit CVxSkinButton(QWidget* parent = nullptr);

  // Loads the numbered strip: cell width = strip width / 4, cell height = strip
  // height; the window keeps its top-left corner and takes one cell's size.
  // A number without artwork leaves the button without cells (it draws only
  // its text). Returns true when the strip was loaded.
  bool SetSkin(int bitmapNumber);
  int CellWidth() const { return cellWidth_; }
  int CellHeight() const { return cellHeight_; }

  void SetKind(Kind kind) { kind_ = kind; }
  Kind GetKind() const { return kind_; }
  // Radio group: buttons of one parent with the same non-zero number.
  void SetGroup(int group) { group_ = group; }
  int Group() const { return group_; }

  // The checked flag; always 0 for a push button. Checking a radio unchecks
  // the rest of its group.
  void SetCheck(bool checked);
  bool GetCheck() const { return checked_; }

  void SetTextColor(const QColor& color);

  // The cell the button shows now (-1 without a strip).
  int CurrentCell() const;
  bool IsHover() const { return hover_; }
  bool IsPressed() const { return pressed_; }

  QSize sizeHint() const override;

protected:
  // Draws the state cell at the top-left and the centred text.
  void paintEvent(QPaintEvent* event) override;
  // Draws one cell of the strip into the painter at (0, 0).
  void DrawCell(QPainter& painter, int cell) const;
  const QPixmap& Strip() const { return strip_; }

  bool event(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  // The left button was let go or the mouse taken away (focus lost, grab lost,
  // hidden, disabled): the pressed state ends.
  virtual void CancelPress();

private:
  QPixmap strip_;
  int cellWidth_ = 0;
  int cellHeight_ = 0;
  Kind kind_ = kPushButton;
  int group_ = 0;
  bool checked_ = false;
  bool hover_ = false;
  bool pressed_ = false;
  QColor textColor_;
};
