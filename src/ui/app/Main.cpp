#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStringListModel>
#include <algorithm>

#include "UiText.h"
#include "WindowFrame.h"
#include "app/About.h"
#include "app/Desktop.h"
#include "app/ProgramIcon.h"
#include "controls/CMultiEdit.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

constexpr Qt::WindowFlags kDisplayFlags = Qt::Tool | Qt::FramelessWindowHint;
constexpr Qt::WindowFlags kNavigationFlags =
    Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

const QColor kWhite(255, 255, 255);

QRect ToQRect(const Rect& r) {
  return QRect(r.left, r.top, r.width, r.height);
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette pal = widget->palette();
  pal.setColor(QPalette::WindowText, color);
  widget->setPalette(pal);
}

QRect PrimaryScreenRect() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
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

// The platform's font chooser offers no effects (underline, strike-out, colour) and no size
// outside `minSize` to `maxSize`.
void LimitFontDialog(QFontDialog& dialog, int minSize, int maxSize) {
  for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
    if (!box->findChildren<QCheckBox*>().isEmpty()) box->hide();
  }
  for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
    if (qobject_cast<const QIntValidator*>(edit->validator())) {
      edit->setValidator(new QIntValidator(minSize, maxSize, edit));
    }
  }
  const auto trimSizes = [&dialog, minSize, maxSize] {
    for (QListView* view : dialog.findChildren<QListView*>()) {
      auto* model = qobject_cast<QStringListModel*>(view->model());
      if (!model) continue;
      QStringList sizes = model->stringList();
      bool numeric = !sizes.isEmpty();
      for (const QString& s : sizes) numeric = numeric && s.toInt() > 0;
      if (!numeric) continue;
      const auto outside = [minSize, maxSize](const QString& s) {
        return s.toInt() < minSize || s.toInt() > maxSize;
      };
      if (std::none_of(sizes.begin(), sizes.end(), outside)) continue;
      sizes.erase(std::remove_if(sizes.begin(), sizes.end(), outside), sizes.end());
      model->setStringList(sizes);
    }
  };
  trimSizes();
  QObject::connect(&dialog, &QFontDialog::currentFontChanged, &dialog, trimSizes);
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
      pMenu_(new QMenu(this)) {
  setWindowTitle(QStringLiteral("VESPIN"));
  setWindowIcon(ProgramIcon());
  // The panel is seldom the active window; a holiday's name should show all the same.
  setAttribute(Qt::WA_AlwaysShowToolTips);
  QFont font(GothicFace());
  font.setPixelSize(13);
  setFont(font);

  // FormCreate.
  const QRect screen = PrimaryScreenRect();
  setFixedSize(kCreateWidth, kCreateHeight);
  move(screen.x() + screen.width() - kCreateWidth, screen.y());
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
  connect(spinY_, &SpinButton::UpClicked, this, &TfrmMain::SpinYUpClick);
  connect(spinY_, &SpinButton::DownClicked, this, &TfrmMain::SpinYDownClick);
  connect(spinM_, &SpinButton::UpClicked, this, &TfrmMain::SpinMUpClick);
  connect(spinM_, &SpinButton::DownClicked, this, &TfrmMain::SpinMDownClick);

  connect(calendar_, &CalendarView::Clicked, this, &TfrmMain::CalendarClick);
  connect(calendar_, &CalendarView::MouseDown, this, &TfrmMain::FormMouseDown);
  connect(calendar_, &CalendarView::DoubleClickedOutside, this, &TfrmMain::FormDblClick);

  BuildMenu();

  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(false);
  connect(&timer_, &QTimer::timeout, this, [this] { TimerTimer(); });
  timer_.start(kInitialIntervalMsecs);

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

void TfrmMain::BuildMenu() {
  const auto item = [this](QMenu* menu, const char* name, const char* caption, auto handler,
                           bool checkable) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QLatin1String(name));
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  item(pMenu_, "miEvent", "ｲﾍﾞﾝﾄ設定...", &TfrmMain::miEventClick, false);
  item(pMenu_, "miIcalExport", "iCalendarに書き出す...", &TfrmMain::miIcalExportClick, false);
  QMenu* n5 = pMenu_->addMenu(QStringLiteral("お知らせﾒｯｾｰｼﾞ"));
  miBeep_ = item(n5, "miBeep", "wav音", &TfrmMain::miBeepClick, true);
  miStartUp_ = item(n5, "miStartUp", "起動時", &TfrmMain::miStartUpClick, true);
  miOnTime_ = item(n5, "miOnTime", "予定時刻", &TfrmMain::miOnTimeClick, true);
  miBeep_->setStatusTip(QStringLiteral("wav音を鳴らします"));
  miStartUp_->setStatusTip(QStringLiteral("起動時にもお知らせします"));
  miOnTime_->setStatusTip(QStringLiteral("予定時刻にもお知らせします"));

  QMenu* show1 = pMenu_->addMenu(QStringLiteral("表示"));
  // The three underline items share one handler that is told which item was clicked.
  miYEventLine_ = item(
      show1, "miYEventLine", "年間ｲﾍﾞﾝﾄに下線", [this] { miEventLineClick(miYEventLine_); }, true);
  miMEventLine_ = item(
      show1, "miMEventLine", "月間ｲﾍﾞﾝﾄに下線", [this] { miEventLineClick(miMEventLine_); }, true);
  miWEventLine_ = item(
      show1, "miWEventLine", "週間ｲﾍﾞﾝﾄに下線", [this] { miEventLineClick(miWEventLine_); }, true);
  show1->addSeparator();
  miBackClear_ = item(show1, "miBackClear", "背景色透明", &TfrmMain::miBackClearClick, true);
  miBackSet_ = item(show1, "miBackSet", "背景色指定...", &TfrmMain::miBackSetClick, true);
  show1->addSeparator();
  miFigureBright_ = item(show1, "miFigureBright", "文字色明", &TfrmMain::miFigureBrightClick, true);
  miFigureDark_ = item(show1, "miFigureDark", "文字色暗", &TfrmMain::miFigureDarkClick, true);
  show1->addSeparator();
  item(show1, "miFont", "ﾌｫﾝﾄ...", &TfrmMain::miFontClick, false);
  show1->addSeparator();
  mi1Month_ = item(show1, "mi1Month", "１ヶ月表示", &TfrmMain::mi1MonthClick, true);
  mi2Month_ = item(show1, "mi2Month", "２ヶ月表示", &TfrmMain::mi2MonthClick, true);
  mi3Month_ = item(show1, "mi3Month", "３ヶ月表示", &TfrmMain::mi3MonthClick, true);
  show1->addSeparator();
  miHolidayLaw_ = item(show1, "miHolidayLaw", "現行の祝日法", &TfrmMain::miHolidayLawClick, true);
  item(pMenu_, "miAbout", "ﾊﾞｰｼﾞｮﾝ情報...", &TfrmMain::miAboutClick, false);
  item(pMenu_, "miExit", "終了", &TfrmMain::miExitClick, false);
  SyncMenu();
}

void TfrmMain::SyncMenu() {
  miBeep_->setChecked(settings_.beep);
  miStartUp_->setChecked(settings_.startUp);
  miOnTime_->setChecked(settings_.onTime);
  miYEventLine_->setChecked(settings_.yearLine);
  miMEventLine_->setChecked(settings_.monthLine);
  miWEventLine_->setChecked(settings_.weekLine);
  miBackClear_->setChecked(settings_.backClear);
  miBackSet_->setChecked(!settings_.backClear);
  miFigureBright_->setChecked(settings_.figureBright);
  miFigureDark_->setChecked(!settings_.figureBright);
  mi1Month_->setChecked(settings_.months == 1);
  mi2Month_->setChecked(settings_.months == 2);
  mi3Month_->setChecked(settings_.months != 1 && settings_.months != 2);
  miHolidayLaw_->setChecked(settings_.extensions.holidayLaw == HolidayLaw::kCurrent);
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
  const QRect screen = PrimaryScreenRect();
  const WindowPos pos =
      PlaceWindow(storedLeft, storedTop, screen.width(), screen.height(), width());
  const QRect wanted(QPoint(pos.left, pos.top), size());
  bool seen = false;
  for (QScreen* s : QGuiApplication::screens())
    seen = seen || s->availableGeometry().intersects(wanted);
  if (seen) {
    move(pos.left, pos.top);
  } else {
    // A monitor that is gone, or a hand edit: the borderless window would be lost for good.
    PlaceTopRight();
  }
}

void TfrmMain::PlaceTopRight() {
  const QRect screen = PrimaryScreenRect();
  move(screen.x() + screen.width() - width(), screen.y());
}

// --- The clock -------------------------------------------------------------------------------

void TfrmMain::TimerTimer(bool fromForm) {
  if (state_.ClockPaused) return;
  const TDateTime now = clock_.Now();
  const TDateTime date = DateOf(now);
  const TDateTime time = TimeOf(now);
  ShowDateTime(date, time);
  if (fromForm) {
    RestartTick(kFirstTickMsecs);
    return;
  }
  const TimeParts t = DecodeTime(time);
  RestartTick(60000 - (t.second * 1000 + t.msec));
  ClearEventLines();
  if (checker_) checker_->EventCheck(CheckMode::kAlarm, date, time);
  ShowEventLines();
}

void TfrmMain::RestartTick(int msecs) {
  timer_.start(msecs);
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
    DrawCalendar();
  }
}

void TfrmMain::ClearEventLines() {
  vespin::ClearEventLines(state_);
  ShowEventLines();
}

void TfrmMain::ShowEventLines() {
  for (int i = 0; i < kEventLineCount; ++i) {
    const EventLine& line = state_.EventLines[static_cast<std::size_t>(i)];
    lEvent(i)->setText(FromSjis(line.text));
    lTimeN(i)->setText(FromSjis(line.timeText));
  }
}

// --- Modes, mouse, close ---------------------------------------------------------------------

void TfrmMain::FormDblClick() {
  const QPoint where = pos();
  const bool wasVisible = isVisible();
  if (navigating_) {
    navigating_ = false;
    setWindowFlags(kDisplayFlags);
    shown_ = {todayYear_, todayMonth_};
  } else {
    navigating_ = true;
    EnsureEditYm();
    setWindowFlags(kNavigationFlags);
  }
  move(where);
  if (wasVisible) show();
  lDate_->setVisible(!navigating_);
  lTime_->setVisible(!navigating_);
  spinY_->setVisible(navigating_);
  if (editYm_) editYm_->SetVisibleAll(navigating_);
  spinM_->setVisible(navigating_);
  DrawCalendar();
}

void TfrmMain::FormMouseDown(Qt::MouseButton button, QPoint global) {
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
  CalendarOptions options;
  options.months = settings_.months;
  options.figureBright = settings_.figureBright;
  options.yearLine = settings_.yearLine;
  options.monthLine = settings_.monthLine;
  options.weekLine = settings_.weekLine;
  options.holidays = settings_.extensions.holidayLaw;
  DayMaskFn mask;
  if (checker_) {
    mask = [this](TDateTime date) { return checker_->EventCheck(CheckMode::kDayMask, date, 0); };
  }
  const TDateTime today = TryEncodeDate(todayYear_, todayMonth_, todayDay_).value_or(0);
  if (shown_.year < 1 || shown_.month < 1) shown_ = {todayYear_, todayMonth_};
  if (shown_.year < 1 || shown_.month < 1) return;
  const CalendarSheet sheet = vespin::DrawCalendar(shown_, today, options, mask);
  if (editYm_) editYm_->SetText(QString::fromLatin1(sheet.yearMonthText.c_str()));
  calendar_->SetSheet(sheet);
}

void TfrmMain::CalendarClick(const CalendarView::Hit& hit) {
  if (hit.kind != CalendarView::HitKind::Day) return;
  const auto date = CellDate(calendar_->Sheet(), hit.block, hit.index);
  if (!date || !checker_) return;
  checker_->EventCheck(CheckMode::kDayList, *date, 0);
}

void TfrmMain::SetShown(YearMonth shown) {
  shown_ = shown;
  DrawCalendar();
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
  DrawCalendar();
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
  DrawCalendar();
}

void TfrmMain::miIcalExportClick() {
  emit ExportCalendarRequested();
}

void TfrmMain::miBeepClick() {
  settings_.beep = !settings_.beep;
  SyncMenu();
  Save();
}

void TfrmMain::miStartUpClick() {
  settings_.startUp = !settings_.startUp;
  SyncMenu();
  Save();
}

void TfrmMain::miOnTimeClick() {
  settings_.onTime = !settings_.onTime;
  SyncMenu();
  Save();
}

void TfrmMain::miEventLineClick(QAction* item) {
  if (item == miYEventLine_) settings_.yearLine = !settings_.yearLine;
  if (item == miMEventLine_) settings_.monthLine = !settings_.monthLine;
  if (item == miWEventLine_) settings_.weekLine = !settings_.weekLine;
  SyncMenu();
  DrawCalendar();
  Save();
}

void TfrmMain::miBackClearClick() {
  settings_.backClear = true;
  SyncMenu();
  BackSet();
  Save();
}

void TfrmMain::miBackSetClick() {
  QColorDialog dialog(ColorFromValue(settings_.backColor), this);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  const bool confirmed = RunModal(dialog) == QDialog::Accepted;
  SyncMenu();
  if (!confirmed) return;
  settings_.backClear = false;
  settings_.backColor = ValueFromColor(dialog.currentColor());
  SyncMenu();
  BackSet();
  Save();
}

void TfrmMain::miFigureBrightClick() {
  settings_.figureBright = true;
  SyncMenu();
  FontSet();
  Save();
}

void TfrmMain::miFigureDarkClick() {
  settings_.figureBright = false;
  SyncMenu();
  FontSet();
  Save();
}

void TfrmMain::miFontClick() {
  // The chooser lists installed faces only: start it on the face the stored name stands for.
  const QString inUse = QFontInfo(WindowFont()).family();
  QFont preset = StoredFont();
  preset.setFamily(inUse);
  QFontDialog dialog(preset, this);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  LimitFontDialog(dialog, kMinFontSize, kMaxFontSize);
  // A face without a bold or italic cut cannot show the stored style; the dialog then starts
  // on the plain cut, and confirming it unchanged must not lose the style.
  const QFont offered = dialog.currentFont();
  if (RunModal(dialog) != QDialog::Accepted) return;
  const QFont chosen = dialog.currentFont();
  const bool styleUntouched = chosen.family() == offered.family() &&
                              chosen.bold() == offered.bold() &&
                              chosen.italic() == offered.italic();
  // Choosing the face the stored name stands for here keeps the stored name, so that the file
  // still names the font the other desktop knows.
  QString family = chosen.family();
  if (family == inUse && !settings_.fontName.empty()) {
    family = FromSjis(settings_.fontName);
  }
  family.remove(QLatin1Char(','));  // the settings line has no room for a comma
  settings_.fontName = ToSjisLossy(family);
  const int points = chosen.pointSize() > 0 ? chosen.pointSize() : settings_.fontSize;
  // Stored as the panel will show it, never a size it would then ignore.
  settings_.fontSize = UsableFontSize(points);
  // Underline and strike-out are no choice of the dialog; they stay as they were.
  if (!styleUntouched) {
    settings_.fontStyle = (settings_.fontStyle & (kFontUnderline | kFontStrikeOut)) |
                          (chosen.bold() ? kFontBold : 0) | (chosen.italic() ? kFontItalic : 0);
  }
  FontSet();
  Save();
}

void TfrmMain::SetMonths(int months) {
  settings_.months = months;
  SyncMenu();
  DrawCalendar();
  FontSet();
}

void TfrmMain::mi1MonthClick() {
  SetMonths(1);
}
void TfrmMain::mi2MonthClick() {
  SetMonths(2);
}
void TfrmMain::mi3MonthClick() {
  SetMonths(3);
}

void TfrmMain::miHolidayLawClick() {
  HolidayLaw& law = settings_.extensions.holidayLaw;
  law = law == HolidayLaw::kCurrent ? HolidayLaw::k2005 : HolidayLaw::kCurrent;
  SyncMenu();
  DrawCalendar();
  Save();
  // Business-day and holiday events may fall elsewhere now: the coming events and alarms are
  // worked out again by a pass soon after, as after the event dialog.
  RestartTick(kFirstTickMsecs);
}

void TfrmMain::miAboutClick() {
  ShowVersion();
}

void TfrmMain::miExitClick() {
  emit QuitRequested();
}

}  // namespace vespin::ui
