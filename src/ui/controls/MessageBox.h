#pragma once
// The input controls' message box. A message is one Shift_JIS text: a kind letter, one byte that
// is skipped (a blank by convention), then the text shown, which may hold CR LF line breaks:
// "E 日付が不正です。". The kind chooses caption, colour, buttons and icon:
//   C 確認 (はい/いいえ)  A 注意 (はい/いいえ)  E エラー (確認)  I 情報 (確認)
//   S システムエラー (システム終了, then the process ends with exit code 1)
// Any other letter shows the plain design box with 確認.

#include <QColor>
#include <QDialog>
#include <QString>
#include <functional>
#include <string_view>

class QLabel;
class QPushButton;

namespace vespin::ui {

// What ShowMessageForm returns for each button.
inline constexpr int kIdOk = 1;   // 確認 / システム終了
inline constexpr int kIdYes = 6;  // はい
inline constexpr int kIdNo = 7;   // いいえ

class TMessageForm final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 476;
  static constexpr int kClientHeight = 110;
  static constexpr int kMaxLines = 40;

  explicit TMessageForm(QWidget* parent = nullptr);

  // Applies a whole message: kind letter and text.
  void Prepare(std::string_view msg);

  void SetTitle(char kind);
  void SetFormColor(char kind);
  // Text with CR LF line breaks; also lays the box out for its line count.
  void SetMessage(const QString& text);
  void SetButtons(char kind);
  void SetImage(char kind);

  QColor FormColor() const;
  // Lines of the last message as the box counts them: 1 + the number of CR LF pairs.
  int MessageLines() const { return messageLines_; }
  // Set by Alt+F4 until the close request it announces has been refused.
  bool AltF4Pressed() const { return altF4Pressed_; }

  QLabel* MessageLabel() const { return messageLabel_; }
  QPushButton* YesButton() const { return yesButton_; }
  QPushButton* NoButton() const { return noButton_; }
  QPushButton* ConfirmButton() const { return confirmButton_; }
  QLabel* imgStop() const { return imgStop_; }
  QLabel* imgInformation() const { return imgInformation_; }
  QLabel* imgExclamation() const { return imgExclamation_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void YesButtonClick() { done(kIdYes); }
  void NoButtonClick() { done(kIdNo); }
  void ConfirmButtonClick() { done(kIdOk); }
  void FormKeyDown(const QKeyEvent& event);
  void FocusFirstButton();

  QLabel* imgStop_;
  QLabel* imgInformation_;
  QLabel* imgExclamation_;
  QLabel* messageLabel_;
  QPushButton* yesButton_;
  QPushButton* noButton_;
  QPushButton* confirmButton_;
  int messageLines_ = 1;
  bool altF4Pressed_ = false;
};

// Shows `msg` modally (through RunModal) and returns kIdYes, kIdNo or kIdOk. For kind "S" the
// process ends with exit code 1 once the box has closed; it returns only when a test has
// replaced the exit.
int ShowMessageForm(std::string_view msg);
// A question (kind "C" or "A") whose two buttons say what they do instead of はい and いいえ;
// returns kIdYes for the first and kIdNo for the second.
int ShowMessageForm(std::string_view msg, const QString& yesCaption, const QString& noCaption);

// How kind "S" ends the process; by default at once, like a crash would, without unwinding.
using ExitHook = std::function<void(int code)>;
class ScopedExitHook {
 public:
  explicit ScopedExitHook(ExitHook hook);
  ~ScopedExitHook();
  Q_DISABLE_COPY_MOVE(ScopedExitHook)

 private:
  ExitHook previous_;
};

}  // namespace vespin::ui
