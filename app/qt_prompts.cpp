#include "app/qt_prompts.h"

#include <QMessageBox>

#include "app/settings.h"

void QtPrompts::Inform(const std::string& text) {
  QMessageBox::information(parent_, QString(), QString::fromStdString(text));
}

bool QtPrompts::Confirm(const std::string& text) {
  return QMessageBox::warning(parent_, QString::fromStdString(Translate("Tip")), QString::fromStdString(text),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}
