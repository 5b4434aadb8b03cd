#pragma once
// UserPrompts as modal message boxes: plain OK messages, and Yes/No questions
// with the caption "Tip" and a warning icon.
#include "app/user_prompts.h"

class QMessageBox;
class QWidget;

// Writes the box's standard buttons (OK, Yes, No) in the language in use.
void TranslateStandardButtons(QMessageBox& box);

class QtPrompts : public UserPrompts {
public:
  explicit QtPrompts(QWidget* parent) : parent_(parent) {}
  void Inform(const std::string& text) override;
  bool Confirm(const std::string& text) override;

private:
  QWidget* parent_;
};
