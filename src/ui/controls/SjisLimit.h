#pragma once
// Keeps a line edit's text within a number of Shift_JIS bytes and refuses characters that
// Shift_JIS cannot hold. It judges only what the user puts in (typing, pasting, dropping,
// composing): the owner opens a UserInput scope around those events, and text the program sets
// passes unchanged. An insertion that does not fit is cut to the bytes left, never in the middle
// of a double-byte character.

#include <QString>
#include <QValidator>
#include <string>

class QLineEdit;

namespace vespin::ui {

class SjisLimitValidator final : public QValidator {
  Q_OBJECT

 public:
  explicit SjisLimitValidator(QLineEdit& edit);

  int MaxBytes() const { return maxBytes_; }
  void SetMaxBytes(int maxBytes) { maxBytes_ = maxBytes < 0 ? 0 : maxBytes; }  // 0: no limit

  State validate(QString& input, int& pos) const override;

  // Open while one of the user's own input events is being handled.
  class UserInput {
   public:
    explicit UserInput(SjisLimitValidator& v) : v_(v) { ++v_.userDepth_; }
    ~UserInput() { --v_.userDepth_; }
    Q_DISABLE_COPY_MOVE(UserInput)

   private:
    SjisLimitValidator& v_;
  };

 signals:
  // The user tried to put in a character that Shift_JIS cannot hold; the input was undone.
  // Emitted from the event loop, after the input event has been handled.
  void Refused();

 private:
  QString lastText_;  // the text before the change being judged
  int maxBytes_ = 0;
  int userDepth_ = 0;
};

// The message for a refused character.
std::string UnusableCharacterMessage();

}  // namespace vespin::ui
