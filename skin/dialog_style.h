#pragma once
// The look of the plain dialogs (settings, card setup) beside the skinned main
// window: the same dark faces, light grey text and amber accent as the skin's
// artwork, from one place. Labels marked as section headings
// (MarkSectionHeading) are drawn in the accent colour.
#include <QPoint>
#include <QString>

class QFrame;
class QLabel;
class QWidget;

namespace skin {

// The skin's colours as the dialogs use them.
struct DialogColours {
  const char* window;    // dialog face
  const char* field;     // lists, edits, pickers
  const char* button;    // push buttons
  const char* buttonHot; // hovered push button
  const char* frame;     // control frames
  const char* frameHot;  // hovered or focused frame
  const char* text;      // labels and values
  const char* dimText;   // disabled text
  const char* accent;    // section headings, the default button, selection
};
const DialogColours& Colours();

// The style sheet of the dialogs.
QString DialogStyleSheet();
// Gives a dialog the skin's palette, style sheet and a face that also writes
// Chinese, Japanese and Korean.
void ApplyDialogStyle(QWidget* dialog);
// Draws a label as a section heading.
void MarkSectionHeading(QLabel* label);

// The side picture of the dialogs (bitmap 170) in its frame at `at`: the
// frame is the picture's size (120 x 360 without artwork) and the picture
// lies on it.
struct SidePicture {
  QFrame* frame;
  QLabel* picture;
};
SidePicture AddSidePicture(QWidget* dialog, QPoint at);

} // namespace skin
