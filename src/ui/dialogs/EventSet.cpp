#include "dialogs/EventSet.h"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFont>
#include <QFrame>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <functional>
#include <span>
#include <string_view>
#include <utility>

#include "UiText.h"
#include "WindowFrame.h"
#include "calendar/Hizuke.h"
#include "controls/CGridBase.h"
#include "controls/CMemMultiCombo.h"
#include "controls/CMultiEdit.h"
#include "controls/CodeCombo.h"
#include "controls/ModalRunner.h"
#include "events/CodeTables.h"
#include "events/EventFile.h"
#include "events/FileMerge.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

// Texts of the window, as UTF-8.
constexpr const char* kCaption = "ｲﾍﾞﾝﾄ";
constexpr const char* kTabYearCaption = "年  間";
constexpr const char* kTabMonthCaption = "月  間";
constexpr const char* kTabWeekCaption = "週  間";
constexpr const char* kExecCaption = "実行";
constexpr const char* kCancelCaption = "取消";
constexpr const char* kAddCaption = "追加";
constexpr const char* kUpdateCaption = "更新";
constexpr const char* kDeleteCaption = "削除";
constexpr const char* kTimeNotice = "時刻はHH:MMまたはHHMMの形式として下さい";
// The file separates its fields with commas and has no quoting.
constexpr const char* kCommaNotice = "ｲﾍﾞﾝﾄにカンマ(,)は使えません。";

constexpr const char* kTrue = "TRUE";
constexpr const char* kFalse = "FALSE";

// Every page has one row of inputs above its list and three buttons below it.
constexpr int kInputTop = 40;
constexpr int kInputHeight = 24;
constexpr int kListLeft = 8;
constexpr int kListTop = 72;
constexpr int kPageButtonTop = 320;
constexpr int kButtonWidth = 74;
constexpr int kButtonHeight = 32;
constexpr int kDropDownLines = 20;
constexpr int kDayDropDownLines = 31;  // a whole month at once
constexpr int kTickAfterSave = 100;    // ms: run the engine over the saved tables at once

const QColor kSilver(192, 192, 192);
const QColor kNavy(0, 0, 128);

QString Ui(const char* utf8) {
  return QString::fromUtf8(utf8);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A short code of digits as a number; 0 for anything else.
int CodeNumber(std::string_view code) {
  if (code.empty() || code.size() > 4) return 0;
  int n = 0;
  for (char c : code) {
    if (!IsDigit(c)) return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

char FirstChar(std::string_view s) {
  return s.empty() ? '\0' : s.front();
}

// Where 追加 puts a row: directly below the selected one (row 1 of an empty list).
int InsertPosition(const EventTable& table) {
  const int selected = table.SelectedRow();
  if (selected < 1 || selected > table.DataRowCount()) return table.DataRowCount() + 1;
  return selected + 1;
}

bool HasSelectedRow(const EventTable& table) {
  const int selected = table.SelectedRow();
  return selected >= 1 && selected <= table.DataRowCount();
}

// The white box around the yearly delete check box; a click beside the box counts as a click
// on it.
class ClickPanel final : public QFrame {
 public:
  ClickPanel(QWidget* parent, std::function<void()> onClick)
      : QFrame(parent), onClick_(std::move(onClick)) {}

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
    pressed_ = true;
    event->accept();
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QFrame::mouseReleaseEvent(event);
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) onClick_();
  }

 private:
  std::function<void()> onClick_;
  bool pressed_ = false;
};

TMemMultiCombo* NewCombo(QWidget* page, int left, int width, int dropDownLines, bool imeClosed) {
  auto* combo = new TMemMultiCombo(page);
  combo->SetStyle(csDropDownList);
  combo->setGeometry(left, kInputTop, width, kInputHeight);
  combo->setMaxVisibleItems(dropDownLines);
  // Names are picked, never typed: no input method conversion.
  if (imeClosed) combo->setInputMethodHints(Qt::ImhLatinOnly);
  return combo;
}

TMultiEdit* NewTimeEdit(QWidget* page) {
  auto* edit = new TMultiEdit(page);
  edit->SetEditType(etNone);
  edit->SetMaxLength(5);
  edit->setGeometry(185, kInputTop, 48, kInputHeight);
  edit->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhPreferNumbers);
  return edit;
}

TMultiEdit* NewEventEdit(QWidget* page) {
  auto* edit = new TMultiEdit(page);
  edit->SetEditType(etNone);
  edit->SetMaxLength(32);
  edit->setGeometry(233, kInputTop, 168, kInputHeight);
  return edit;
}

QPushButton* NewButton(QWidget* parent, const char* caption, int left, int top) {
  auto* button = new QPushButton(Ui(caption), parent);
  button->setGeometry(left, top, kButtonWidth, kButtonHeight);
  return button;
}

CGridBase* NewGrid(EventTable& table, QWidget* page) {
  auto* grid = new CGridBase(&table, page);
  grid->move(kListLeft, kListTop);
  // Reached by the mouse and moved with the cursor keys, never by Tab.
  grid->setFocusPolicy(Qt::ClickFocus);
  return grid;
}

// The columns over a table that already holds events: the layout is computed without emptying
// it.
void DefineColumns(CGridBase& grid, std::span<const ColumnSpec> columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    grid.DefineColumn(static_cast<int>(c), sjis::Lit(columns[c].titleUtf8), columns[c].width,
                      columns[c].align);
  }
  grid.SetRowCountGroup(1);
  grid.ComputeLayout();
}

void SelectFirst(TMemMultiCombo& combo) {
  if (combo.count() > 0) combo.setCurrentIndex(0);
}

}  // namespace

TdlgEventSet::TdlgEventSet(EventDialogHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  BuildWindow();
  FormCreate();
}

TdlgEventSet::~TdlgEventSet() = default;

int TdlgEventSet::DayCount(int month) {
  switch (month) {
    case 2:
      return 29;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

// ---------------------------------------------------------------------------------------------
// The window

void TdlgEventSet::BuildWindow() {
  RegisterFontSubstitutions();
  setWindowTitle(Ui(kCaption));
  // A fixed dialog frame without system menu or close box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);
  setFont(QFont(GothicFace(), 12));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kSilver);
  setPalette(pal);
  setAutoFillBackground(true);

  pageEvent_ = new QTabWidget(this);
  pageEvent_->setGeometry(16, 16, 584, 400);
  tabYear_ = new QWidget;
  tabYear_->setObjectName("TabYear");
  tabMonth_ = new QWidget;
  tabMonth_->setObjectName("TabMonth");
  tabWeek_ = new QWidget;
  tabWeek_->setObjectName("TabWeek");
  pageEvent_->addTab(tabYear_, Ui(kTabYearCaption));
  pageEvent_->addTab(tabMonth_, Ui(kTabMonthCaption));
  pageEvent_->addTab(tabWeek_, Ui(kTabWeekCaption));
  pageEvent_->setCurrentWidget(tabYear_);
  // Clicking a tab takes the focus, so a field whose entry is refused keeps its page up.
  pageEvent_->tabBar()->setFocusPolicy(Qt::StrongFocus);

  pbExec_ = NewButton(this, kExecCaption, 440, 424);
  pbExec_->setDefault(true);
  pbCancel_ = NewButton(this, kCancelCaption, 520, 424);
  connect(pbExec_, &QPushButton::clicked, this, &TdlgEventSet::pbExecClick);
  connect(pbCancel_, &QPushButton::clicked, this, &TdlgEventSet::pbCancelClick);

  BuildYearPage();
  BuildMonthPage();
  BuildWeekPage();
  BuildTabOrder();
}

void TdlgEventSet::BuildYearPage() {
  QWidget* page = tabYear_;
  EventStore& store = host_.Store();
  gbYear_ = NewGrid(store.year, page);
  mcbYMonth_ = NewCombo(page, 8, 105, kDropDownLines, true);
  mcbYDate_ = NewCombo(page, 113, 72, kDayDropDownLines, true);
  meYTime_ = NewTimeEdit(page);
  meYEvent_ = NewEventEdit(page);
  mcbYAlarm_ = NewCombo(page, 401, 96, kDropDownLines, true);

  auto* panel = new ClickPanel(page, [this] { Panel1Click(); });
  panel->setObjectName("Panel1");
  panel->setGeometry(497, kInputTop, 48, kInputHeight);
  panel->setFrameStyle(QFrame::Box | QFrame::Plain);
  panel->setLineWidth(1);
  panel->setAutoFillBackground(true);
  panel1_ = panel;
  Panel1Exit();
  cbYDel_ = new QCheckBox(panel1_);
  // 12, 2 inside the panel's one-pixel border.
  cbYDel_->setGeometry(13, 3, 17, 17);
  cbYDel_->installEventFilter(this);

  pbYAdd_ = NewButton(page, kAddCaption, 320, kPageButtonTop);
  pbYUpd_ = NewButton(page, kUpdateCaption, 400, kPageButtonTop);
  pbYDel_ = NewButton(page, kDeleteCaption, 480, kPageButtonTop);

  connect(mcbYMonth_, &TMultiCombo::UserChanged, this, &TdlgEventSet::mcbYMonthChange);
  connect(gbYear_, &CGridBase::Clicked, this, &TdlgEventSet::gbYearClick);
  connect(pbYAdd_, &QPushButton::clicked, this, &TdlgEventSet::pbYAddClick);
  connect(pbYUpd_, &QPushButton::clicked, this, &TdlgEventSet::pbYUpdClick);
  connect(pbYDel_, &QPushButton::clicked, this, &TdlgEventSet::pbYDelClick);
  meYTime_->SetOnUserValidate(
      [this](TMultiEdit& sender, int& result) { meTimeUserValidate(sender, result); });
}

void TdlgEventSet::BuildMonthPage() {
  QWidget* page = tabMonth_;
  gbMonth_ = NewGrid(host_.Store().month, page);
  mcbMType_ = NewCombo(page, 8, 105, kDropDownLines, true);
  mcbMDate_ = NewCombo(page, 113, 72, kDayDropDownLines, true);
  mcbMDay_ = NewCombo(page, 113, 72, kDropDownLines, false);
  meMTime_ = NewTimeEdit(page);
  meMEvent_ = NewEventEdit(page);
  mcbMAlarm_ = NewCombo(page, 401, 96, kDropDownLines, true);
  pbMAdd_ = NewButton(page, kAddCaption, 320, kPageButtonTop);
  pbMUpd_ = NewButton(page, kUpdateCaption, 400, kPageButtonTop);
  pbMDel_ = NewButton(page, kDeleteCaption, 480, kPageButtonTop);

  connect(mcbMType_, &TMultiCombo::UserChanged, this, &TdlgEventSet::mcbMTypeChange);
  connect(gbMonth_, &CGridBase::Clicked, this, &TdlgEventSet::gbMonthClick);
  connect(pbMAdd_, &QPushButton::clicked, this, &TdlgEventSet::pbMAddClick);
  connect(pbMUpd_, &QPushButton::clicked, this, &TdlgEventSet::pbMUpdClick);
  connect(pbMDel_, &QPushButton::clicked, this, &TdlgEventSet::pbMDelClick);
  meMTime_->SetOnUserValidate(
      [this](TMultiEdit& sender, int& result) { meTimeUserValidate(sender, result); });
}

void TdlgEventSet::BuildWeekPage() {
  QWidget* page = tabWeek_;
  gbWeek_ = NewGrid(host_.Store().week, page);
  mcbWType_ = NewCombo(page, 8, 105, kDropDownLines, true);
  mcbWDay_ = NewCombo(page, 113, 72, kDropDownLines, true);
  meWTime_ = NewTimeEdit(page);
  meWEvent_ = NewEventEdit(page);
  mcbWAlarm_ = NewCombo(page, 401, 96, kDropDownLines, true);
  pbWAdd_ = NewButton(page, kAddCaption, 320, kPageButtonTop);
  pbWUpd_ = NewButton(page, kUpdateCaption, 400, kPageButtonTop);
  pbWDel_ = NewButton(page, kDeleteCaption, 480, kPageButtonTop);

  connect(mcbWType_, &TMultiCombo::UserChanged, this, &TdlgEventSet::mcbWTypeChange);
  connect(gbWeek_, &CGridBase::Clicked, this, &TdlgEventSet::gbWeekClick);
  connect(pbWAdd_, &QPushButton::clicked, this, &TdlgEventSet::pbWAddClick);
  connect(pbWUpd_, &QPushButton::clicked, this, &TdlgEventSet::pbWUpdClick);
  connect(pbWDel_, &QPushButton::clicked, this, &TdlgEventSet::pbWDelClick);
  meWTime_->SetOnUserValidate(
      [this](TMultiEdit& sender, int& result) { meTimeUserValidate(sender, result); });
}

void TdlgEventSet::BuildTabOrder() {
  // Controls on the pages that are not shown are passed over, so one chain serves all three.
  // clang-format off
  const std::vector<QWidget*> chain = {
      pageEvent_,
      mcbYMonth_, mcbYDate_, meYTime_, meYEvent_, mcbYAlarm_, cbYDel_, pbYAdd_, pbYUpd_, pbYDel_,
      // The weekday combo shares its place with the day of month, and comes last.
      mcbMType_, mcbMDate_, meMTime_, meMEvent_, mcbMAlarm_, pbMAdd_, pbMUpd_, pbMDel_, mcbMDay_,
      mcbWType_, mcbWDay_, meWTime_, meWEvent_, mcbWAlarm_, pbWAdd_, pbWUpd_, pbWDel_,
      pbExec_, pbCancel_};
  // clang-format on
  for (std::size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

// ---------------------------------------------------------------------------------------------
// Life cycle

void TdlgEventSet::FormCreate() {
  DefineColumns(*gbWeek_, WeekColumns());
  DefineColumns(*gbMonth_, MonthColumns());
  DefineColumns(*gbYear_, YearColumns());

  const CodeTables& codes = Codes();
  FillCombo(codes.cdWType, *mcbWType_);
  FillCombo(codes.cdMType, *mcbMType_);
  FillCombo(codes.cdDay, *mcbWDay_);
  FillCombo(codes.cdDay, *mcbMDay_);
  FillCombo(codes.cdAlarm, *mcbWAlarm_);
  FillCombo(codes.cdAlarm, *mcbMAlarm_);
  FillCombo(codes.cdAlarm, *mcbYAlarm_);
  FillCombo(codes.cdMonth, *mcbYMonth_);
  FillCombo(codes.cdDate, *mcbMDate_);

  for (TMemMultiCombo* combo : {mcbWType_, mcbWDay_, mcbWAlarm_, mcbMType_, mcbMDate_, mcbMDay_,
                                mcbMAlarm_, mcbYMonth_, mcbYAlarm_}) {
    SelectFirst(*combo);
  }
  mcbWTypeChange();
  mcbMTypeChange();
  mcbYMonthChange();
  SelectFirst(*mcbYDate_);
  for (TMultiEdit* edit : {meWTime_, meWEvent_, meMTime_, meMEvent_, meYTime_, meYEvent_}) {
    edit->SetText({});
  }
  cbYDel_->setChecked(false);
}

void TdlgEventSet::Execute(int month, int day) {
  if (month >= 1 && month <= mcbYMonth_->count()) {
    mcbYMonth_->setCurrentIndex(month - 1);
    mcbYMonthChange();
  }
  if (day >= 1 && mcbYDate_->count() > 0) {
    mcbYDate_->setCurrentIndex(std::min(day, mcbYDate_->count()) - 1);
  }
  if (QScreen* s = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }

  FormShow();
  RunModal(*this);
  // However the window went away, the clock must not stay paused and the tables must not
  // keep edits the user never confirmed.
  if (snapshot_) pbCancelClick();
  FormClose();
}

void TdlgEventSet::FormShow() {
  const EventStore& store = host_.Store();
  auto copy = [](const EventTable& table) {
    TableCopy c;
    for (int r = 1; r <= table.DataRowCount(); ++r) {
      std::vector<std::string> row;
      row.reserve(static_cast<std::size_t>(table.ColCount()));
      for (int col = 0; col < table.ColCount(); ++col) row.push_back(table.Cell(col, r));
      c.rows.push_back(std::move(row));
    }
    c.selectedRow = table.SelectedRow();
    c.topRow = table.TopRow();
    return c;
  };
  snapshot_ = Snapshot{
      .week = copy(store.week),
      .month = copy(store.month),
      .year = copy(store.year),
  };
}

void TdlgEventSet::FormClose() {
  snapshot_.reset();
}

void TdlgEventSet::pbExecClick() {
  // A failed save has told the user why; the dialog stays open with the edits, so the user can
  // try again or cancel.
  if (!host_.IniSave()) return;
  snapshot_.reset();
  done(Accepted);
  host_.State().ClockPaused = false;
  host_.RestartTick(kTickAfterSave);
}

void TdlgEventSet::pbCancelClick() {
  EventStore& store = host_.Store();
  if (host_.IniLoad()) {
    // The file holds no done marks: give the engine back the ones it had, each to its own
    // event, wherever a hand edit of the file has moved it.
    if (snapshot_) {
      auto carry = [](const TableCopy& c, EventTable& table, int doneCol) {
        EventTable before(table.ColCount());
        for (const auto& row : c.rows) before.InsertRow(before.DataRowCount() + 1, row);
        CarryDoneMarks(before, table, doneCol);
      };
      carry(snapshot_->week, store.week, WeekCol::kDone);
      carry(snapshot_->month, store.month, MonthCol::kDone);
      carry(snapshot_->year, store.year, YearCol::kDone);
    }
  } else if (snapshot_) {
    // The file could not be read again (the user has been told): the tables go back to what
    // they were when the dialog opened, which is what the reload would have given.
    auto restore = [](EventTable& table, const TableCopy& c) {
      table.ClearRows();
      for (const auto& row : c.rows) table.InsertRow(table.DataRowCount() + 1, row);
      table.SelectRow(c.selectedRow);
      table.SetTopRow(c.topRow);
    };
    restore(store.week, snapshot_->week);
    restore(store.month, snapshot_->month);
    restore(store.year, snapshot_->year);
  }
  snapshot_.reset();
  done(Rejected);
  host_.State().ClockPaused = false;
}

void TdlgEventSet::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  ComeBackWhenMinimised(*this, *event);
}

void TdlgEventSet::showEvent(QShowEvent* event) {
  SetFrame(*this, Frame::kDialog);
  QDialog::showEvent(event);
}

void TdlgEventSet::reject() {
  pbCancelClick();
}

// ---------------------------------------------------------------------------------------------
// Panel1 and its check box

bool TdlgEventSet::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cbYDel_) {
    if (event->type() == QEvent::FocusIn) {
      Panel1Enter();
    } else if (event->type() == QEvent::FocusOut) {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // Another window or a pop-up taking the activation does not leave the panel.
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) Panel1Exit();
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TdlgEventSet::Panel1Enter() {
  QPalette pal = panel1_->palette();
  pal.setColor(QPalette::Window, kNavy);
  panel1_->setPalette(pal);
}

void TdlgEventSet::Panel1Exit() {
  QPalette pal = panel1_->palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::WindowText, Qt::black);
  panel1_->setPalette(pal);
}

void TdlgEventSet::Panel1Click() {
  cbYDel_->setFocus(Qt::MouseFocusReason);
  // A field that refused to be left keeps the focus, and then the click does nothing.
  if (focusWidget() == cbYDel_) cbYDel_->toggle();
}

// ---------------------------------------------------------------------------------------------
// Type and month handlers

void TdlgEventSet::mcbWTypeChange() {
  // Day patterns (codes 81..87) carry no weekday.
  mcbWDay_->setVisible(FirstChar(mcbWType_->GetSelCode()) != '8');
}

void TdlgEventSet::mcbMTypeChange() {
  switch (FirstChar(mcbMType_->GetSelCode())) {
    case '1':
      mcbMDate_->setVisible(true);
      mcbMDay_->setVisible(false);
      break;
    case '4':
      mcbMDate_->setVisible(false);
      mcbMDay_->setVisible(false);
      break;
    default:
      mcbMDay_->setVisible(true);
      mcbMDate_->setVisible(false);
      break;
  }
}

void TdlgEventSet::mcbYMonthChange() {
  const int month = CodeNumber(mcbYMonth_->GetSelCode());
  const int day = CodeNumber(mcbYDate_->GetSelCode());
  mcbYDate_->clear();
  const auto& days = Codes().cdDate.Items();
  const int count = std::min(DayCount(month), static_cast<int>(days.size()));
  for (int i = 0; i < count; ++i) {
    mcbYDate_->AddCodeItem(days[static_cast<std::size_t>(i)].Code,
                           days[static_cast<std::size_t>(i)].Name);
  }
  // The chosen day survives the change; a day the month lacks becomes its last day.
  mcbYDate_->setCurrentIndex(day > count ? count - 1 : day - 1);
}

// ---------------------------------------------------------------------------------------------
// List clicks: the selected row back into the inputs

void TdlgEventSet::gbWeekClick() {
  const EventTable& table = host_.Store().week;
  const int r = table.SelectedRow();
  mcbWType_->SelectName(table.Cell(WeekCol::kTypeName, r));
  mcbWDay_->SelectName(table.Cell(WeekCol::kDayName, r));
  meWTime_->SetSjisText(table.Cell(WeekCol::kTime, r));
  meWEvent_->SetSjisText(table.Cell(WeekCol::kText, r));
  mcbWAlarm_->SelectName(table.Cell(WeekCol::kAlarmName, r));
  mcbWTypeChange();
}

void TdlgEventSet::gbMonthClick() {
  const EventTable& table = host_.Store().month;
  const int r = table.SelectedRow();
  const char type = FirstChar(table.Cell(MonthCol::kTypeCode, r));
  mcbMType_->SelectName(table.Cell(MonthCol::kTypeName, r));
  if (type == '1') {
    mcbMDate_->SelectName(table.Cell(MonthCol::kDayName, r));
  } else if (type != '4') {
    mcbMDay_->SelectName(table.Cell(MonthCol::kDayName, r));
  }
  meMTime_->SetSjisText(table.Cell(MonthCol::kTime, r));
  meMEvent_->SetSjisText(table.Cell(MonthCol::kText, r));
  mcbMAlarm_->SelectName(table.Cell(MonthCol::kAlarmName, r));
  mcbMTypeChange();
}

void TdlgEventSet::gbYearClick() {
  const EventTable& table = host_.Store().year;
  const int r = table.SelectedRow();
  mcbYMonth_->SelectName(table.Cell(YearCol::kMonthName, r));
  mcbYMonthChange();
  mcbYDate_->SelectName(table.Cell(YearCol::kDayName, r));
  meYTime_->SetSjisText(table.Cell(YearCol::kTime, r));
  meYEvent_->SetSjisText(table.Cell(YearCol::kText, r));
  mcbYAlarm_->SelectName(table.Cell(YearCol::kAlarmName, r));
  cbYDel_->setChecked(table.Cell(YearCol::kDelete, r) == kTrue);
}

// ---------------------------------------------------------------------------------------------
// Rows from the inputs. The file reader builds its rows the same way, so an event made here
// equals the same event read back from the file.

std::vector<std::string> TdlgEventSet::WeekInputRow() const {
  std::string code = mcbWType_->GetSelCode();
  if (FirstChar(code) != '8') code += mcbWDay_->GetSelCode();
  return WeekRow(code, meWTime_->SjisText(), meWEvent_->SjisText(), mcbWAlarm_->GetSelCode());
}

TMemMultiCombo* TdlgEventSet::MonthDayControl() const {
  switch (FirstChar(mcbMType_->GetSelCode())) {
    case '1':
      return mcbMDate_;
    case '4':
      return nullptr;
    default:
      return mcbMDay_;
  }
}

std::vector<std::string> TdlgEventSet::MonthInputRow() const {
  std::string code = mcbMType_->GetSelCode();
  if (const TMemMultiCombo* day = MonthDayControl()) code += day->GetSelCode();
  return MonthRow(code, meMTime_->SjisText(), meMEvent_->SjisText(), mcbMAlarm_->GetSelCode());
}

std::vector<std::string> TdlgEventSet::YearInputRow() const {
  const std::string code = mcbYMonth_->GetSelCode() + mcbYDate_->GetSelCode();
  return YearRow(code, meYTime_->SjisText(), meYEvent_->SjisText(), mcbYAlarm_->GetSelCode(),
                 cbYDel_->isChecked() ? kTrue : kFalse);
}

bool TdlgEventSet::InputsReady(TMultiEdit& time, TMultiEdit& text) {
  if (time.text().isEmpty() || text.text().isEmpty()) return false;
  if (text.SjisText().find(',') != std::string::npos) {
    host_.ShowNotice(sjis::Lit(kCommaNotice));
    text.setFocus(Qt::OtherFocusReason);
    return false;
  }
  // Normally checked when the field was left; a time that got past that (the focus went to 取消
  // and came back without leaving the field) is checked here, so a row never holds one.
  if (!HourMinuteToTime(time.SjisText())) {
    int result = 1;
    meTimeUserValidate(time, result);
    if (result == 0) {
      time.setFocus(Qt::OtherFocusReason);
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// 追加, 更新, 削除. The weekly list keeps the order the user gives it; the others are kept in
// order of their sort key, the selection following its row.

void TdlgEventSet::pbWAddClick() {
  if (!InputsReady(*meWTime_, *meWEvent_)) return;
  EventTable& table = host_.Store().week;
  table.InsertRow(InsertPosition(table), WeekInputRow());
}

void TdlgEventSet::pbWUpdClick() {
  EventTable& table = host_.Store().week;
  if (!HasSelectedRow(table) || !InputsReady(*meWTime_, *meWEvent_)) return;
  table.UpdateRow(table.SelectedRow(), WeekInputRow());
}

void TdlgEventSet::pbWDelClick() {
  EventTable& table = host_.Store().week;
  table.DeleteRow(table.SelectedRow());
}

void TdlgEventSet::pbMAddClick() {
  if (!InputsReady(*meMTime_, *meMEvent_)) return;
  EventTable& table = host_.Store().month;
  table.InsertRow(InsertPosition(table), MonthInputRow());
  table.SortRows(MonthCol::kSortKey, 1);
}

void TdlgEventSet::pbMUpdClick() {
  EventTable& table = host_.Store().month;
  if (!HasSelectedRow(table) || !InputsReady(*meMTime_, *meMEvent_)) return;
  table.UpdateRow(table.SelectedRow(), MonthInputRow());
  table.SortRows(MonthCol::kSortKey, 1);
}

void TdlgEventSet::pbMDelClick() {
  EventTable& table = host_.Store().month;
  table.DeleteRow(table.SelectedRow());
  table.SortRows(MonthCol::kSortKey, 1);
}

void TdlgEventSet::pbYAddClick() {
  if (!InputsReady(*meYTime_, *meYEvent_)) return;
  EventTable& table = host_.Store().year;
  table.InsertRow(InsertPosition(table), YearInputRow());
  table.SortRows(YearCol::kSortKey, 1);
}

void TdlgEventSet::pbYUpdClick() {
  EventTable& table = host_.Store().year;
  if (!HasSelectedRow(table) || !InputsReady(*meYTime_, *meYEvent_)) return;
  table.UpdateRow(table.SelectedRow(), YearInputRow());
  table.SortRows(YearCol::kSortKey, 1);
}

void TdlgEventSet::pbYDelClick() {
  EventTable& table = host_.Store().year;
  table.DeleteRow(table.SelectedRow());
  table.SortRows(YearCol::kSortKey, 1);
}

// ---------------------------------------------------------------------------------------------
// The time check of the three time fields: HHMM (rewritten to HH:MM) or HH:MM.

void TdlgEventSet::meTimeUserValidate(TMultiEdit& sender, int& result) {
  std::string text = sender.SjisText();
  bool ok = false;
  if (text.size() == 4) {
    ok = std::all_of(text.begin(), text.end(), IsDigit);
    if (ok) {
      text = text.substr(0, 2) + ":" + text.substr(2);
      sender.SetSjisText(text);
    }
  } else {
    ok = text.size() > 2 && text[2] == ':';
  }
  // Stricter than "reads as a time": 12:5 would read as 12:05, yet every reader of the time
  // cell expects two digits on each side.
  if (ok) ok = HourMinuteToTime(text).has_value();
  if (ok) return;
  host_.ShowNotice(sjis::Lit(kTimeNotice));
  result = 0;
}

}  // namespace vespin::ui
