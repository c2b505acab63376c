#include "app/About.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "UiText.h"
#include "WindowFrame.h"
#include "app/ProgramIcon.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

const QColor kLightBlue(166, 202, 240);

void MakeTransparentBlack(QLabel* label) {
  label->setAttribute(Qt::WA_TranslucentBackground);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(pal);
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      panel_(new QFrame(this)),
      image_(new QLabel(panel_)),
      lProductName_(new QLabel(panel_)),
      lName_(new QLabel(QStringLiteral("VESPIN developers"), panel_)),
      pbOk_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ"));
  KeepFramed(*this, Frame::kDialog);
  setWindowIcon(ProgramIcon());
  QFont font(PGothicFace());
  font.setPixelSize(12);
  setFont(font);
  resize(288, 89);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kLightBlue);
  setPalette(pal);

  panel_->setGeometry(8, 8, 276, 49);
  panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel_->setAutoFillBackground(true);

  image_->setGeometry(16, 8, 32, 32);
  image_->setPixmap(ProgramIconPixmap(32));

  lProductName_->setGeometry(56, 8, 200, 12);
  lProductName_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  QFont bold = font;
  bold.setBold(true);
  lProductName_->setFont(bold);
  MakeTransparentBlack(lProductName_);

  lName_->setGeometry(56, 28, 210, 12);
  lName_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  MakeTransparentBlack(lName_);

  pbOk_->setGeometry(211, 64, 75, 25);
  pbOk_->setDefault(true);
  connect(pbOk_, &QPushButton::clicked, this, &QDialog::accept);
}

QSize TfrmAbout::SizeForWidthOfW(int widthOfW) {
  return widthOfW == 8 ? QSize(300, 120) : QSize(375, 150);
}

void ShowVersion() {
  TfrmAbout form;
  form.setFixedSize(TfrmAbout::SizeForWidthOfW(QFontMetrics(form.font()).horizontalAdvance(u'w')));
  form.lProductName()->setText(QString::fromLatin1(kVersionText));
  RunModal(form);
}

}  // namespace vespin::ui
