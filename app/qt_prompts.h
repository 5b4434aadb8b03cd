#pragma once
// UserPrompts as modal message boxes: plain OK messages, and Yes/No questions
// with the caption "Tip" and a warning icon.
#include "app/user_prompts.h"

class QWidget;

class QtPrompts : public UserPrompts {
public:
  explicit QtPrompts(QWidget* parent) : parent_(parent) {}
  void Inform(const std::string& text) override;
  bool Confirm(const std::string& text) override;

private:
  QWidget* parent_;
};
