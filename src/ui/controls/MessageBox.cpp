#include "controls/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "UiText.h"
#include "WindowFrame.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

constexpr int kLineHeight = 16;

enum class Icon { Stop, Information, Exclamation };

QPixmap PaintIcon(Icon icon) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (icon) {
    case Icon::Stop: {
      QPolygonF octagon;
      for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + 45.0 * i) * M_PI / 180.0;
        octagon << QPointF(16 + 15.5 * std::cos(a), 16 + 15.5 * std::sin(a));
      }
      p.setPen(QPen(Qt::white, 1.5));
      p.setBrush(QColor(204, 0, 0));
      p.drawPolygon(octagon);
      QFont font(QStringLiteral("DejaVu Sans"));
      font.setPixelSize(9);
      font.setBold(true);
      p.setFont(font);
      p.setPen(Qt::white);
      p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("STOP"));
      break;
    }
    case Icon::Information: {
      p.setPen(QPen(Qt::white, 1));
      p.setBrush(QColor(0, 0, 128));
      p.drawEllipse(QRectF(1, 1, 30, 30));
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(13.5, 6, 5, 5));
      p.drawRect(QRectF(14, 13, 4, 13));
      p.drawRect(QRectF(12, 13, 3, 2));
      p.drawRect(QRectF(12, 24, 8, 2));
      break;
    }
    case Icon::Exclamation: {
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(QColor(255, 220, 0));
      p.drawEllipse(QRectF(1, 1, 30, 30));
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      QPainterPath bar;
      bar.moveTo(13.5, 6);
      bar.lineTo(18.5, 6);
      bar.lineTo(17.2, 20);
      bar.lineTo(14.8, 20);
      bar.closeSubpath();
      p.drawPath(bar);
      p.drawEllipse(QRectF(13.5, 22, 5, 5));
      break;
    }
  }
  return pixmap;
}

// Draws its lines at a fixed pitch of 16 pixels, so that the box heights computed from the line
// count hold whatever line spacing the installed font asks for.
class FixedPitchLabel final : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    // Centre the font's own line box on each 16-pixel line.
    const int baseline = metrics.ascent() - (metrics.height() - kLineHeight) / 2;
    const QStringList lines = text().split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
      const int top = static_cast<int>(i) * kLineHeight;
      if (top >= height()) break;
      p.drawText(0, top + baseline, lines[i]);
    }
  }
};

QLabel* MakeIcon(QWidget* parent, Icon icon, int height) {
  auto* label = new QLabel(parent);
  label->setGeometry(16, 16, 32, height);
  label->setPixmap(PaintIcon(icon));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->hide();
  return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, 64, 110, 30);
  button->setAutoDefault(true);  // Enter presses whichever button has the focus
  button->setDefault(false);
  button->hide();
  return button;
}

struct Kind {
  char letter;
  const char* caption;
  QColor color;
};

const Kind* FindKind(char letter) {
  static const Kind kKinds[] = {
      {'C', "確認メッセージ", QColor(210, 233, 255)},
      {'A', "注意メッセージ", QColor(255, 255, 170)},
      {'E', "エラーメッセージ", QColor(255, 207, 207)},
      {'S', "システムエラーメッセージ", QColor(255, 0, 128)},
      {'I', "情報メッセージ", QColor(210, 233, 255)},
  };
  for (const Kind& kind : kKinds) {
    if (kind.letter == letter) return &kind;
  }
  return nullptr;
}

ExitHook& CurrentExitHook() {
  static ExitHook hook = [](int code) {
    std::fflush(nullptr);
    std::_Exit(code);
  };
  return hook;
}

}  // namespace

TMessageForm::TMessageForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      imgStop_(MakeIcon(this, Icon::Stop, 32)),
      imgInformation_(MakeIcon(this, Icon::Information, 33)),
      imgExclamation_(MakeIcon(this, Icon::Exclamation, 32)),
      messageLabel_(new FixedPitchLabel(this)),
      yesButton_(MakeButton(this, QStringLiteral("はい"), 113)),
      noButton_(MakeButton(this, QStringLiteral("いいえ"), 253)),
      confirmButton_(MakeButton(this, QStringLiteral("確認"), 183)) {
  setWindowTitle(QStringLiteral("MessageForm"));
  KeepFramed(*this, Frame::kDialog);
  setFixedSize(kClientWidth, kClientHeight);
  QFont font(GothicFace());
  font.setPixelSize(16);
  setFont(font);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Base));
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
  setAutoFillBackground(true);

  messageLabel_->setGeometry(60, 24, 400, kLineHeight);
  messageLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  messageLabel_->setWordWrap(false);
  messageLabel_->setTextFormat(Qt::PlainText);

  setTabOrder(noButton_, yesButton_);
  setTabOrder(yesButton_, confirmButton_);
  for (QPushButton* button : {yesButton_, noButton_, confirmButton_}) {
    button->installEventFilter(this);
  }
  connect(yesButton_, &QPushButton::clicked, this, &TMessageForm::YesButtonClick);
  connect(noButton_, &QPushButton::clicked, this, &TMessageForm::NoButtonClick);
  connect(confirmButton_, &QPushButton::clicked, this, &TMessageForm::ConfirmButtonClick);
  setCursor(Qt::ArrowCursor);
}

void TMessageForm::Prepare(std::string_view msg) {
  const char kind = msg.empty() ? '\0' : msg.front();
  const std::string_view text = msg.size() > 2 ? msg.substr(2) : std::string_view();
  SetTitle(kind);
  SetFormColor(kind);
  SetMessage(FromSjis(text));
  SetButtons(kind);
  SetImage(kind);
}

void TMessageForm::SetTitle(char kind) {
  if (const Kind* k = FindKind(kind)) setWindowTitle(QString::fromUtf8(k->caption));
}

void TMessageForm::SetFormColor(char kind) {
  const Kind* k = FindKind(kind);
  if (!k) return;
  QPalette pal = palette();
  pal.setColor(QPalette::Window, k->color);
  setPalette(pal);
}

QColor TMessageForm::FormColor() const {
  return palette().color(QPalette::Window);
}

void TMessageForm::SetMessage(const QString& text) {
  int lines = static_cast<int>(text.count(QStringLiteral("\r\n"))) + 1;
  messageLines_ = lines;
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  messageLabel_->setText(shown);

  int labelTop = 24;
  int labelHeight = kLineHeight;
  int clientHeight = kClientHeight;
  int buttonTop = 64;
  if (lines >= 2) {
    lines = std::min(lines, kMaxLines);
    labelTop = 16;
    labelHeight = kLineHeight * lines;
    clientHeight = kLineHeight * lines + 78;
    buttonTop = kLineHeight * lines + 32;
  }
  messageLabel_->setGeometry(60, labelTop, 400, labelHeight);
  for (QPushButton* button : {yesButton_, noButton_, confirmButton_}) {
    button->move(button->x(), buttonTop);
  }
  setFixedSize(kClientWidth, clientHeight);
}

void TMessageForm::SetButtons(char kind) {
  const bool question = kind == 'C' || kind == 'A';
  yesButton_->setVisible(question);
  noButton_->setVisible(question);
  confirmButton_->setVisible(!question);
  if (kind == 'S') confirmButton_->setText(QStringLiteral("システム終了"));
  FocusFirstButton();
}

void TMessageForm::SetImage(char kind) {
  imgInformation_->setVisible(kind == 'C' || kind == 'I');
  imgExclamation_->setVisible(kind == 'A' || kind == 'E');
  imgStop_->setVisible(kind == 'S');
}

void TMessageForm::FocusFirstButton() {
  // The tab order is いいえ, はい, 確認: the first visible one takes the focus.
  for (QPushButton* button : {noButton_, yesButton_, confirmButton_}) {
    if (!button->isHidden()) {
      button->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void TMessageForm::showEvent(QShowEvent* event) {
  // Placed by RunModal, with its final height: above the window it belongs to, centred on that
  // window's screen.
  QDialog::showEvent(event);
  FocusFirstButton();
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event) {
  // The box sees every key before its buttons do.
  if (event->type() == QEvent::KeyPress) FormKeyDown(*static_cast<QKeyEvent*>(event));
  return QDialog::eventFilter(watched, event);
}

void TMessageForm::FormKeyDown(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods =
      event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (event.key() == Qt::Key_F4 && mods == Qt::AltModifier) altF4Pressed_ = true;
}

void TMessageForm::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(*event);
  // No cancel button: Escape must not close the box.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TMessageForm::closeEvent(QCloseEvent* event) {
  // The buttons are the only way out; their done() never comes through here.
  altF4Pressed_ = false;
  event->ignore();
}

namespace {

int ShowPrepared(std::string_view msg, const QString& yesCaption, const QString& noCaption) {
  const char kind = msg.empty() ? '\0' : msg.front();
  int result = 0;
  {
    TMessageForm form;
    form.Prepare(msg);
    if (!yesCaption.isEmpty()) form.YesButton()->setText(yesCaption);
    if (!noCaption.isEmpty()) form.NoButton()->setText(noCaption);
    QApplication::beep();
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    result = RunModal(form);
  }
  if (kind == 'S') CurrentExitHook()(1);
  return result;
}

}  // namespace

int ShowMessageForm(std::string_view msg) {
  return ShowPrepared(msg, {}, {});
}

int ShowMessageForm(std::string_view msg, const QString& yesCaption, const QString& noCaption) {
  return ShowPrepared(msg, yesCaption, noCaption);
}

ScopedExitHook::ScopedExitHook(ExitHook hook)
    : previous_(std::exchange(CurrentExitHook(), std::move(hook))) {}

ScopedExitHook::~ScopedExitHook() {
  CurrentExitHook() = std::move(previous_);
}

}  // namespace vespin::ui
