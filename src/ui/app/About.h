#pragma once
// The version window: product name and version, the icon and an author line, and "OK".

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace vespin::ui {

inline constexpr const char* kVersionText = "vespin Ver3.2(2005.04.18)";

class TfrmAbout final : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  QFrame* Panel() const { return panel_; }
  QLabel* Image() const { return image_; }
  QLabel* lProductName() const { return lProductName_; }
  QLabel* lName() const { return lName_; }
  QPushButton* pbOk() const { return pbOk_; }

  // The window's outer size for the width of "w" in its font: 300 × 120 for 8 pixels, else
  // 375 × 150 (a larger desktop font).
  static QSize SizeForWidthOfW(int widthOfW);

 private:
  QFrame* panel_;
  QLabel* image_;
  QLabel* lProductName_;
  QLabel* lName_;
  QPushButton* pbOk_;
};

// Shows the version window modally (through RunModal).
void ShowVersion();

}  // namespace vespin::ui
