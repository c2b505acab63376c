#pragma once
// The notice window: one line of text and "OK", the program's one way of telling the user
// something (alarms, day listings, file errors). Optionally with the sound file.
//
//   engine / file / dialog --ShowNotice--> TfrmMsg (modal, through RunModal) + NoticeSound

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace vespin::ui {

class NoticeSound;

class TfrmMsg final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 352;
  static constexpr int kClientHeight = 93;

  explicit TfrmMsg(QWidget* parent = nullptr);

  QLabel* lMsg() const { return lMsg_; }
  QPushButton* pbOk() const { return pbOk_; }

  // "OK" is the only way out: Escape and the window manager's close are refused.
  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void pbOkClick();

  QLabel* lMsg_;
  QPushButton* pbOk_;
  bool closing_ = false;
};

// Shows `text` modally, starts the sound first when `sound` is given, and returns true once the
// user has pressed OK.
bool ShowNotice(const QString& text, NoticeSound* sound);

}  // namespace vespin::ui
