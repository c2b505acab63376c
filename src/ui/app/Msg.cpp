#include "app/Msg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "UiText.h"
#include "WindowFrame.h"
#include "app/NoticeSound.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

const QString kCaption = QStringLiteral("お知らせメッセージ");
const QColor kSilver(192, 192, 192);

QFont PixelFont(const QString& face, int pixels) {
  QFont font(face);
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

TfrmMsg::TfrmMsg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      lMsg_(new QLabel(this)),
      pbOk_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(kCaption);
  KeepFramed(*this, Frame::kDialog);
  setFixedSize(kClientWidth, kClientHeight);
  setFont(PixelFont(PGothicFace(), 12));

  lMsg_->setGeometry(0, 21, kClientWidth, 20);
  lMsg_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lMsg_->setWordWrap(false);
  lMsg_->setFont(PixelFont(GothicFace(), 16));
  QPalette black = lMsg_->palette();
  black.setColor(QPalette::WindowText, Qt::black);
  lMsg_->setPalette(black);

  pbOk_->setGeometry(139, 56, 75, 25);
  pbOk_->setDefault(true);
  connect(pbOk_, &QPushButton::clicked, this, &TfrmMsg::pbOkClick);
}

void TfrmMsg::pbOkClick() {
  closing_ = true;
  accept();
}

void TfrmMsg::closeEvent(QCloseEvent* event) {
  if (closing_) {
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}

void TfrmMsg::paintEvent(QPaintEvent*) {
  // Painted, not set as the window's palette: a palette of its own would give the OK button new
  // cache keys with every notice, and the style would keep a fresh set of button pictures each
  // time.
  QPainter(this).fillRect(rect(), kSilver);
}

void TfrmMsg::showEvent(QShowEvent* event) {
  // Placed by RunModal: above the panel, centred on its screen.
  QDialog::showEvent(event);
  raise();
  pbOk_->setFocus();
}

bool ShowNotice(const QString& text, NoticeSound* sound) {
  TfrmMsg form;
  form.lMsg()->setText(text);
  if (sound) PlayNoticeSound(*sound);
  RunModal(form);
  return true;
}

}  // namespace vespin::ui
