#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>

#include "UiText.h"
#include "WindowFrame.h"
#include "WindowPlace.h"
#include "app/About.h"
#include "app/BesidePanel.h"
#include "app/Desktop.h"
#include "app/FontChooser.h"
#include "app/MainMenu.h"
#include "app/PanelPlacement.h"
#include "app/ProgramIcon.h"
#include "controls/CMultiEdit.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

constexpr Qt::WindowFlags kDisplayFlags = Qt::Tool | Qt::FramelessWindowHint;
constexpr Qt::WindowFlags kNavigationFlags =
    Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

const QColor kWhite(255, 255, 255);

// Names for screen readers, as UTF-8.
constexpr const char* kYearSpinName = "年";
constexpr const char* kYearBackName = "前の年";
constexpr const char* kYearForwardName = "次の年";
constexpr const char* kMonthSpinName = "月";
constexpr const char* kMonthBackName = "前の月";
constexpr const char* kMonthForwardName = "次の月";
constexpr const char* kYearMonthName = "年月";

QRect ToQRect(const Rect& r) {
  return QRect(r.left, r.top, r.width, r.height);
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette pal = widget->palette();
  pal.setColor(QPalette::WindowText, color);
  widget->setPalette(pal);
}

}  // namespace

FontMetricsSample TfrmMain::MeasureFont(const QFont& font) {
  const QFontMetrics fm(font);
  FontMetricsSample m;
  m.widthOfI = fm.horizontalAdvance(QStringLiteral("i"));
  m.widthOfW = fm.horizontalAdvance(QStringLiteral("w"));
  m.widthOfWW = fm.horizontalAdvance(QStringLiteral("WW"));
  m.heightOfWW = fm.height();
  m.widthOfClock = fm.horizontalAdvance(QStringLiteral("23:59"));
  return m;
}

namespace {

void ApplyStyleBits(QFont& font, int style) {
  font.setBold(style & kFontBold);
  font.setItalic(style & kFontItalic);
  font.setUnderline(style & kFontUnderline);
  font.setStrikeOut(style & kFontStrikeOut);
}

}  // namespace

TfrmMain::TfrmMain(const Clock& clock, AppState& state, Settings& settings, WeekdayNames weekdays,
                   QWidget* parent)
    : QWidget(parent, kDisplayFlags),
      clock_(clock),
      state_(state),
      settings_(settings),
      weekdays_(std::move(weekdays)),
      measure_(&TfrmMain::MeasureFont),
      image_(new QWidget(this)),
      calendar_(new CalendarView(this)),
      lDate_(new QLabel(this)),
      lTime_(new QLabel(this)),
      spinY_(new SpinButton(this)),
      spinM_(new SpinButton(this)),
      pMenu_(new QMenu(this)),
      tick_(this, [this] { TimerTimer(); }) {
  setWindowTitle(QStringLiteral("VESPIN"));
  setWindowIcon(ProgramIcon());
  // The panel is seldom the active window; a holiday's name should show all the same.
  setAttribute(Qt::WA_AlwaysShowToolTips);
  // It starts with the desktop session and must not take the keyboard from what the user is
  // typing into; a click or the window manager's switching activates it.
  setAttribute(Qt::WA_ShowWithoutActivating);
  QFont font(GothicFace());
  font.setPixelSize(13);
  setFont(font);

  // FormCreate.
  const QRect screen = PrimaryScreenRect();
  setFixedSize(kCreateWidth, kCreateHeight);
  MoveTo({screen.x() + screen.width() - kCreateWidth, screen.y()});
  image_->setGeometry(0, 0, screen.width(), screen.height());
  image_->setAutoFillBackground(true);
  QPalette plane = image_->palette();
  plane.setColor(QPalette::Window, ColorFromValue(kSilver));
  image_->setPalette(plane);
  calendar_->setGeometry(rect());

  for (QLabel* label : {lDate_, lTime_}) {
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->installEventFilter(this);
  }
  for (int i = 0; i < kEventLineCount; ++i) {
    lEvents_[static_cast<std::size_t>(i)] = new QLabel(this);
    lTimes_[static_cast<std::size_t>(i)] = new QLabel(this);
  }
  for (QLabel* label : lEvents_) label->installEventFilter(this);
  for (QLabel* label : lTimes_) label->installEventFilter(this);
  for (QLabel* label : findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);

  spinY_->hide();
  spinM_->hide();
  spinY_->setAccessibleName(QString::fromUtf8(kYearSpinName));
  spinY_->SetHalfNames(QString::fromUtf8(kYearBackName), QString::fromUtf8(kYearForwardName));
  spinM_->setAccessibleName(QString::fromUtf8(kMonthSpinName));
  spinM_->SetHalfNames(QString::fromUtf8(kMonthBackName), QString::fromUtf8(kMonthForwardName));
  connect(spinY_, &SpinButton::UpClicked, this, &TfrmMain::SpinYUpClick);
  connect(spinY_, &SpinButton::DownClicked, this, &TfrmMain::SpinYDownClick);
  connect(spinM_, &SpinButton::UpClicked, this, &TfrmMain::SpinMUpClick);
  connect(spinM_, &SpinButton::DownClicked, this, &TfrmMain::SpinMDownClick);

  connect(calendar_, &CalendarView::Clicked, this, &TfrmMain::CalendarClick);
  connect(calendar_, &CalendarView::MouseDown, this, &TfrmMain::FormMouseDown);
  connect(calendar_, &CalendarView::DoubleClickedOutside, this, &TfrmMain::FormDblClick);
  calendar_->SetMonthStepper([this](int step) { return StepShownMonth(step); });

  BuildMainMenu(*this, *pMenu_, settings_);
  redraw_.setSingleShot(true);
  connect(&redraw_, &QTimer::timeout, this, &TfrmMain::DrawCalendar);

  ClearEventLines();
  TimerTimer(true);
  DrawCalendar();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::EnsureEditYm() {
  if (editYm_) return;
  editYm_ = new TMultiEdit(this);
  editYm_->SetEditType(etCalendar);
  editYm_->SetAlignment(taCenter);
  editYm_->SetEditable(false);
  editYm_->SetVisibleAll(false);
  editYm_->setAccessibleName(QString::fromUtf8(kYearMonthName));
  editYm_->SetText(QString::fromLatin1(calendar_->Sheet().yearMonthText.c_str()));
  PlaceEditYm();
}

void TfrmMain::PlaceEditYm() {
  if (!editYm_) return;
  editYm_->setFont(font());
  editYm_->SetFontColor(FontColor());
  editYm_->SetPanelSize(layout_.yearMonthBox.width, layout_.yearMonthBox.height);
  editYm_->SetPanelPos(layout_.yearMonthBox.left, layout_.yearMonthBox.top);
}

void TfrmMain::SyncMenu() {
  SyncMainMenu(*pMenu_, settings_);
}

void TfrmMain::SetSeeThrough(bool translucent, const QColor& desktopColor) {
  translucent_ = translucent;
  desktopColor_ = desktopColor;
  setAttribute(Qt::WA_TranslucentBackground, translucent);
  update();
}

void TfrmMain::ApplySettings() {
  SyncMenu();
  FontSet();
}

void TfrmMain::PlaceAtStart(int storedLeft, int storedTop) {
  MoveTo(StartPlace(storedLeft, storedTop, size()));
}

void TfrmMain::PlaceTopRight() {
  MoveTo(TopRightPlace(size()));
}

QPoint TfrmMain::Place() const {
  // Before the window system has the window, nobody but the program has moved it.
  if (!isVisible()) return pos();
  return navigating_ ? FramePosition(*this) : given_;
}

void TfrmMain::MoveTo(QPoint at) {
  given_ = at;
  move(at);
}

void TfrmMain::moveEvent(QMoveEvent* event) {
  // A move of the program's own (or a caller's) comes at once and is not spontaneous; the window
  // system's reports are, and may be wrong (0,0 while openbox frames the panel) or not ours to
  // keep (a compositor's own placement).
  if (!event->spontaneous()) given_ = pos();
  QWidget::moveEvent(event);
}

// --- The clock -------------------------------------------------------------------------------

void TfrmMain::TimerTimer(bool fromForm) {
  if (state_.ClockPaused) return;
  const TDateTime now = clock_.Now();
  const TDateTime date = DateOf(now);
  const TDateTime time = TimeOf(now);
  ShowDateTime(date, time);
  if (fromForm) {
    tick_.Restart(kFirstTickMsecs);
    return;
  }
  tick_.ArmForNextMinute(time);
  ClearEventLines();
  if (checker_) checker_->EventCheck(CheckMode::kAlarm, date, time);
  if (other_) other_->AfterAlarmPass(now);
  ShowEventLines();
}

void TfrmMain::RestartTick(int msecs) {
  tick_.Restart(msecs);
}

void TfrmMain::ShowDateTime(TDateTime date, TDateTime time) {
  const DateParts d = DecodeDate(date);
  // The whole date: a clock put a month on keeps the day of the month.
  const bool dayChanged = d.day != todayDay_ || d.month != todayMonth_ || d.year != todayYear_;
  todayYear_ = d.year;
  todayMonth_ = d.month;
  todayDay_ = d.day;
  lDate_->setText(FromSjis(DateText(date, weekdays_)));
  lTime_->setText(FromSjis(TimeText(time)));
  if (!navigating_ && dayChanged) {
    shown_ = {todayYear_, todayMonth_};
    CalendarInputsChanged();
  }
}

void TfrmMain::ClearEventLines() {
  vespin::ClearEventLines(state_);
  ShowEventLines();
}

void TfrmMain::ShowEventLines() {
  for (int i = 0; i < kEventLineCount; ++i) {
    const EventLine& line = state_.EventLines[static_cast<std::size_t>(i)];
    // Other calendars' texts never pass through Shift_JIS: emoji and the like stay.
    const auto text = [&line](const std::string& bytes) {
      return line.utf8 ? QString::fromStdString(bytes) : FromSjis(bytes);
    };
    lEvent(i)->setText(text(line.text));
    lTimeN(i)->setText(text(line.timeText));
  }
}

// --- Modes, mouse, close ---------------------------------------------------------------------

void TfrmMain::FormDblClick() {
  const QPoint where = Place();
  const bool wasVisible = isVisible();
  const bool wasActive = isActiveWindow();
  if (navigating_) {
    navigating_ = false;
    setWindowFlags(kDisplayFlags);
    shown_ = {todayYear_, todayMonth_};
  } else {
    navigating_ = true;
    EnsureEditYm();
    setWindowFlags(kNavigationFlags);
  }
  MoveTo(where);
  if (wasVisible) show();
  // The new frame is a new native window, which is shown without the activation; the user who
  // double-clicked keeps the keyboard.
  if (wasVisible && wasActive) activateWindow();
  lDate_->setVisible(!navigating_);
  lTime_->setVisible(!navigating_);
  spinY_->setVisible(navigating_);
  if (editYm_) editYm_->SetVisibleAll(navigating_);
  spinM_->setVisible(navigating_);
  CalendarInputsChanged();
}

void TfrmMain::FormMouseDown(Qt::MouseButton button, QPoint global) {
  calendar_->HideFocusFrame();
  if (button != Qt::RightButton) return;
  // Just left of and below the pointer, whichever control took the press.
  lastMenuPoint_ = global + QPoint(-10, 10);
  pMenu_->popup(lastMenuPoint_);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    FormMouseDown(mouse->button(), mouse->globalPosition().toPoint());
    if (mouse->button() == Qt::LeftButton) FormDblClick();
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    FormMouseDown(mouse->button(), mouse->globalPosition().toPoint());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  const auto mods = event->modifiers() & ~Qt::KeypadModifier;
  if ((event->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
      (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
    event->accept();
    OpenMenuFromKeyboard();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TfrmMain::contextMenuEvent(QContextMenuEvent* event) {
  // The right button has opened the menu at its press already.
  if (event->reason() != QContextMenuEvent::Keyboard) return event->ignore();
  event->accept();
  OpenMenuFromKeyboard();
}

void TfrmMain::OpenMenuFromKeyboard() {
  // Some platforms send the Menu key both as a key and as a context-menu request.
  if (pMenu_->isVisible()) return;
  QPoint at = mapToGlobal(QPoint(0, 0));
  if (const auto day = calendar_->FocusCell(); day && calendar_->hasFocus()) {
    at = calendar_->mapToGlobal(calendar_->DayRect(day->block, day->cell).bottomLeft());
  }
  lastMenuPoint_ = at;
  pMenu_->popup(at);
  if (!pMenu_->actions().isEmpty()) pMenu_->setActiveAction(pMenu_->actions().first());
}

bool TfrmMain::StepShownMonth(int step) {
  if (!navigating_) return false;
  const auto next = step < 0 ? SpinMUp(shown_) : SpinMDown(shown_);
  if (!next) return false;
  SetShown(*next);
  return true;
}

bool TfrmMain::FormCloseQuery() {
  Save();
  return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  FormCloseQuery();
  event->accept();
  emit QuitRequested();
}

void TfrmMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // No task-bar entry to bring it back by, in either mode.
  ComeBackWhenMinimised(*this, *event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) raise();
}

void TfrmMain::showEvent(QShowEvent* event) {
  // Before the window is mapped: no task-bar button, in either mode.
  KeepOffTaskbar(*this);
  if (navigating_) SetFrame(*this, Frame::kCloseBox);
  QWidget::showEvent(event);
}

void TfrmMain::paintEvent(QPaintEvent*) {
  // The colour plane covers the window unless the background is see-through.
  if (!settings_.backClear) return;
  QPainter p(this);
  if (translucent_) {
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
  } else {
    p.fillRect(rect(), desktopColor_.isValid() ? desktopColor_ : palette().color(QPalette::Window));
  }
}

void TfrmMain::Save() {
  emit SaveRequested();
}

// --- Calendar --------------------------------------------------------------------------------

void TfrmMain::DrawCalendar() {
  redraw_.stop();  // drawn now, with whatever changed meanwhile
  CalendarOptions options;
  options.months = settings_.months;
  options.figureBright = settings_.figureBright;
  options.yearLine = settings_.yearLine;
  options.monthLine = settings_.monthLine;
  options.weekLine = settings_.weekLine;
  options.holidays = settings_.extensions.holidayLaw;
  DayMaskFn mask;
  if (checker_) {
    mask = [this](TDateTime date) {
      const int own = checker_->EventCheck(CheckMode::kDayMask, date, 0);
      return other_ ? own | other_->DayMask(date) : own;
    };
  }
  const TDateTime today = TryEncodeDate(todayYear_, todayMonth_, todayDay_).value_or(0);
  if (shown_.year < 1 || shown_.month < 1) shown_ = {todayYear_, todayMonth_};
  if (shown_.year < 1 || shown_.month < 1) return;
  if (other_) {
    const int blocks = settings_.months == 1 || settings_.months == 2 ? settings_.months : 3;
    YearMonth last = shown_;
    for (int b = 1; b < blocks; ++b) last = ShiftMonth(last, 1);
    const auto first = TryEncodeDate(shown_.year, shown_.month, 1);
    const auto end = TryEncodeDate(last.year, last.month, DaysInMonth(last.year, last.month));
    if (first && end) other_->Showing(*first, *end);
  }
  const CalendarSheet sheet = vespin::DrawCalendar(shown_, today, options, mask);
  if (editYm_) editYm_->SetText(QString::fromLatin1(sheet.yearMonthText.c_str()));
  calendar_->SetSheet(sheet);
}

void TfrmMain::CalendarInputsChanged() {
  if (!redraw_.isActive()) redraw_.start(0);
}

void TfrmMain::CalendarClick(const CalendarView::Hit& hit) {
  if (hit.kind != CalendarView::HitKind::Day) return;
  const auto date = CellDate(calendar_->Sheet(), hit.block, hit.index);
  if (!date || !checker_) return;
  checker_->EventCheck(CheckMode::kDayList, *date, 0);
  if (other_) other_->ListDay(*date);
}

void TfrmMain::SetShown(YearMonth shown) {
  shown_ = shown;
  CalendarInputsChanged();
}

void TfrmMain::SpinYUpClick() {
  if (auto next = SpinYUp(shown_)) SetShown(*next);
}
void TfrmMain::SpinYDownClick() {
  if (auto next = SpinYDown(shown_)) SetShown(*next);
}
void TfrmMain::SpinMUpClick() {
  if (auto next = SpinMUp(shown_)) SetShown(*next);
}
void TfrmMain::SpinMDownClick() {
  if (auto next = SpinMDown(shown_)) SetShown(*next);
}

// --- Appearance ------------------------------------------------------------------------------

QColor TfrmMain::FontColor() const {
  return settings_.figureBright ? kWhite : QGuiApplication::palette().color(QPalette::WindowText);
}

QFont TfrmMain::StoredFont() const {
  QFont font(FromSjis(settings_.fontName));
  font.setPointSize(UsableFontSize(settings_.fontSize));
  ApplyStyleBits(font, settings_.fontStyle);
  return font;
}

QFont TfrmMain::WindowFont() const {
  // A face this desktop lacks goes the way of the program's own default face: the font matcher
  // tries the families in turn, then the substitutes of each. (Asking the font database whether
  // a family exists would load every family's styles first, which costs more than the start of
  // the whole window.)
  QStringList families;
  const QString name = FromSjis(settings_.fontName);
  if (!name.isEmpty() && name != GothicFace()) families << name;
  families << GothicFace();
  QFont font;
  font.setFamilies(families);
  font.setPointSize(UsableFontSize(settings_.fontSize));
  ApplyStyleBits(font, settings_.fontStyle);
  font.setFixedPitch(true);
  return font;
}

void TfrmMain::FontSet() {
  const QColor color = FontColor();
  const QFont font = WindowFont();
  calendar_->SetColors(
      {color, QGuiApplication::palette().color(QPalette::WindowText), settings_.figureBright});
  calendar_->SetCellFont(font);
  CalendarInputsChanged();
  setFont(font);

  layout_ = ComputeMainLayout(measure_(font), settings_.months);
  setFixedSize(layout_.width, layout_.height);
  calendar_->setGeometry(0, 0, layout_.width, layout_.height);
  calendar_->SetCellGeometry(layout_);

  for (int i = 0; i < kEventLineCount; ++i) {
    for (QLabel* label : {lEvent(i), lTimeN(i)}) {
      label->setFont(font);
      SetTextColor(label, color);
    }
    lEvent(i)->setGeometry(ToQRect(layout_.eventLabels[static_cast<std::size_t>(i)]));
    lTimeN(i)->setGeometry(ToQRect(layout_.timeLabels[static_cast<std::size_t>(i)]));
  }
  QFont big = font;
  big.setPointSize(font.pointSize() + 2);
  big.setBold(true);
  for (QLabel* label : {lDate_, lTime_}) {
    label->setFont(big);
    SetTextColor(label, color);
  }
  lDate_->setGeometry(ToQRect(layout_.dateLabel));
  lTime_->setGeometry(ToQRect(layout_.timeLabel));

  PlaceEditYm();
  spinY_->setGeometry(ToQRect(layout_.spinYear));
  spinM_->setGeometry(ToQRect(layout_.spinMonth));
  BackSet();
  // A larger font or more months grow the panel to the right and down, past the screen's edge
  // when it stands near one.
  if (const auto inside = PlaceOnItsScreen(QRect(Place(), frameGeometry().size()))) {
    MoveTo(*inside);
  }
}

void TfrmMain::BackSet() {
  const QRect screen = PrimaryScreenRect();
  image_->setGeometry(settings_.backClear ? width() : 0, 0, screen.width(), screen.height());
  QPalette plane = image_->palette();
  plane.setColor(QPalette::Window, ColorFromValue(settings_.backColor));
  image_->setPalette(plane);
  image_->lower();
  update();
}

// --- Menu ------------------------------------------------------------------------------------

void TfrmMain::miEventClick() {
  {
    const ClockPause pause(state_);
    emit EventDialogRequested(todayMonth_, todayDay_);
  }
  CalendarInputsChanged();
}

void TfrmMain::miIcalExportClick() {
  emit ExportCalendarRequested();
}

void TfrmMain::miOtherCalendarsClick() {
  emit OtherCalendarsRequested();
}

void TfrmMain::ChangeSetting(void (*apply)(Settings&), unsigned effects) {
  apply(settings_);
  SyncMenu();
  if (effects & kRelayout) {
    FontSet();
  } else if (effects & kBackground) {
    BackSet();
  }
  CalendarInputsChanged();
  if (effects & kSave) Save();
  // The coming events and alarms are worked out again by a pass soon after, as after the event
  // dialog.
  if (effects & kRecheckEvents) RestartTick(kFirstTickMsecs);
}

void TfrmMain::miBackSetClick() {
  QColorDialog dialog(ColorFromValue(settings_.backColor), this);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  PlaceBesidePanel(dialog, *this);
  const bool confirmed = RunModal(dialog) == QDialog::Accepted;
  SyncMenu();
  if (!confirmed) return;
  settings_.backClear = false;
  settings_.backColor = ValueFromColor(dialog.currentColor());
  SyncMenu();
  BackSet();
  Save();
}

void TfrmMain::miFontClick() {
  const auto choice = ChooseFont(this, settings_, StoredFont(), QFontInfo(WindowFont()).family());
  if (!choice) return;
  settings_.fontName = choice->name;
  settings_.fontSize = choice->size;
  settings_.fontStyle = choice->style;
  FontSet();
  Save();
}

void TfrmMain::miAboutClick() {
  ShowVersion();
}

void TfrmMain::miExitClick() {
  emit QuitRequested();
}

}  // namespace vespin::ui
