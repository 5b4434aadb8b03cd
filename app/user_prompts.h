#pragma once
// What the dialogs ask of the user, so that their rules run without a display.
#include <string>

class UserPrompts {
public:
  virtual ~UserPrompts() = default;
  // A modal message with an OK button; the text arrives translated.
  virtual void Inform(const std::string& text) = 0;
  // A question with caption "Tip", Yes and No buttons and a warning icon; true for Yes.
  virtual bool Confirm(const std::string& text) = 0;
};
