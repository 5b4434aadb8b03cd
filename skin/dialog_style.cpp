#include "skin/dialog_style.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

#include "skin/skin_bitmaps.h"
#include "skin/skin_language.h"

namespace skin {
namespace {

// The artwork's palette (resources/skin/make_art.py): faces BG1..BG3, frames
// LINE and LINE2, marks MARK, dimmed OFF, the amber ACCENT.
constexpr DialogColours kColours = {
    "#14171a", "#0c0e10", "#1c2024", "#262b30", "#2d3339", "#414951", "#b9c1c9", "#5a626b", "#e4971e",
};
constexpr int kSidePictureNumber = 170;
constexpr int kSideWidth = 120, kSideHeight = 360; // the picture's size, kept without artwork

} // namespace

const DialogColours& Colours() { return kColours; }

QString DialogStyleSheet() {
  const DialogColours& c = kColours;
  return QStringLiteral(
             "QDialog { background: %1; }"
             "QLabel { color: %7; background: transparent; }"
             "QLabel[sectionHeading=\"true\"] { color: %9; }"
             "QLabel:disabled, QCheckBox:disabled { color: %8; }"
             "QLineEdit, QComboBox, QDateTimeEdit { background: %2; color: %7; border: 1px solid %5;"
             "  border-radius: 3px; padding: 1px 4px; selection-background-color: %9; selection-color: %2; }"
             "QLineEdit:read-only { background: %1; color: %7; }"
             "QLineEdit:focus, QComboBox:focus, QDateTimeEdit:focus, QComboBox:hover, QDateTimeEdit:hover"
             "  { border-color: %6; }"
             "QComboBox:disabled, QDateTimeEdit:disabled, QLineEdit:disabled { color: %8; border-color: %5; }"
             "QComboBox::drop-down { border: none; width: 18px; }"
             "QComboBox::down-arrow { image: url(:/skin/controls/arrow_down.svg); width: 10px; height: 9px; }"
             "QComboBox QAbstractItemView { background: %2; color: %7; border: 1px solid %6;"
             "  selection-background-color: %9; selection-color: %2; outline: 0; }"
             "QDateTimeEdit::up-button, QDateTimeEdit::down-button { width: 14px; border: none; background: %3; }"
             "QDateTimeEdit::up-arrow { image: url(:/skin/controls/arrow_up.svg); width: 8px; height: 7px; }"
             "QDateTimeEdit::down-arrow { image: url(:/skin/controls/arrow_down.svg); width: 8px; height: 7px; }"
             "QDateTimeEdit::up-arrow:disabled, QDateTimeEdit::down-arrow:disabled { image: none; }"
             "QPushButton { background: %3; color: %7; border: 1px solid %6; border-radius: 3px; padding: 2px 4px; }"
             "QPushButton:hover { background: %4; }"
             "QPushButton:pressed { background: %2; }"
             "QPushButton:default { border-color: %9; }"
             "QPushButton:disabled { color: %8; border-color: %5; }"
             "QCheckBox { color: %7; spacing: 8px; }"
             "QCheckBox::indicator { width: 13px; height: 13px; border: 1px solid %6; border-radius: 2px;"
             "  background: %2; }"
             "QCheckBox::indicator:checked { background: %9; border-color: %9; }"
             "QMessageBox { background: %1; }"
             "QToolTip { background: %2; color: %7; border: 1px solid %6; }")
      .arg(QLatin1String(c.window), QLatin1String(c.field), QLatin1String(c.button), QLatin1String(c.buttonHot),
           QLatin1String(c.frame), QLatin1String(c.frameHot), QLatin1String(c.text), QLatin1String(c.dimText),
           QLatin1String(c.accent));
}

void ApplyDialogStyle(QWidget* dialog) {
  const DialogColours& c = kColours;
  QPalette palette = dialog->palette();
  palette.setColor(QPalette::Window, QColor(c.window));
  palette.setColor(QPalette::WindowText, QColor(c.text));
  palette.setColor(QPalette::Base, QColor(c.field));
  palette.setColor(QPalette::AlternateBase, QColor(c.button));
  palette.setColor(QPalette::Text, QColor(c.text));
  palette.setColor(QPalette::Button, QColor(c.button));
  palette.setColor(QPalette::ButtonText, QColor(c.text));
  palette.setColor(QPalette::Highlight, QColor(c.accent));
  palette.setColor(QPalette::HighlightedText, QColor(c.field));
  palette.setColor(QPalette::ToolTipBase, QColor(c.field));
  palette.setColor(QPalette::ToolTipText, QColor(c.text));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, QColor(c.dimText));
  dialog->setPalette(palette);
  QFont font = dialog->font();
  font.setFamilies(LanguageFontFamilies());
  dialog->setFont(font);
  dialog->setStyleSheet(DialogStyleSheet());
}

void MarkSectionHeading(QLabel* label) { label->setProperty("sectionHeading", true); }

SidePicture AddSidePicture(QWidget* dialog, QPoint at) {
  const QPixmap side = LoadSkinBitmap(kSidePictureNumber);
  const QSize size = side.isNull() ? QSize(kSideWidth, kSideHeight) : side.deviceIndependentSize().toSize();
  SidePicture result{new QFrame(dialog), new QLabel(dialog)};
  result.frame->setGeometry(QRect(at, size));
  result.picture->setPixmap(side);
  result.picture->setGeometry(result.frame->geometry()); // the picture goes onto the frame
  return result;
}

} // namespace skin
