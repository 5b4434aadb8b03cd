#include "app/qt_prompts.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "app/settings.h"
#include "platform/tr_key.h"

void TranslateStandardButtons(QMessageBox& box) {
  static constexpr struct {
    QMessageBox::StandardButton button;
    const char* english;
  } kButtons[] = {{QMessageBox::Ok, TR_KEY("OK")}, {QMessageBox::Yes, TR_KEY("Yes")}, {QMessageBox::No, TR_KEY("No")}};
  for (const auto& b : kButtons)
    if (QAbstractButton* button = box.button(b.button)) button->setText(QString::fromStdString(Translate(b.english)));
}

void QtPrompts::Inform(const std::string& text) {
  QMessageBox box(QMessageBox::Information, QString(), QString::fromStdString(text), QMessageBox::Ok, parent_);
  TranslateStandardButtons(box);
  box.exec();
}

bool QtPrompts::Confirm(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(Translate("Tip")), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  TranslateStandardButtons(box);
  return box.exec() == QMessageBox::Yes;
}
