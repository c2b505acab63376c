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
#include <span>
#include <string_view>
#include <utility>

#include "UiText.h"
#include "WindowFrame.h"
#include "controls/CGridBase.h"
#include "controls/CMemMultiCombo.h"
#include "controls/CMultiEdit.h"
#include "controls/CodeCombo.h"
#include "controls/ModalRunner.h"
#include "events/CodeTables.h"
#include "events/EventRows.h"
#include "events/FileMerge.h"
#include "events/IniFormat.h"
#include "events/RuleCodes.h"
#include "input/CheckFunc.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

// Texts of the window, as UTF-8.
constexpr const char* kCaption = "ｲﾍﾞﾝﾄ";
constexpr const char* kExecCaption = "実行";
constexpr const char* kCancelCaption = "取消";
constexpr const char* kAddCaption = "追加";
constexpr const char* kUpdateCaption = "更新";
constexpr const char* kDeleteCaption = "削除";
constexpr const char* kTimeNotice = "時刻はHH:MMまたはHHMMの形式として下さい";
// The file separates its fields with commas and has no quoting.
constexpr const char* kCommaNotice = "ｲﾍﾞﾝﾄにカンマ(,)は使えません。";

// Names for screen readers, from the captions and column headers the controls stand under.
constexpr const char* kListSuffix = "ｲﾍﾞﾝﾄ";  // after the page's caption: "年間ｲﾍﾞﾝﾄ"
constexpr const char* kMonthName = "月";
constexpr const char* kDateName = "日";
constexpr const char* kTypeName = "種類";
constexpr const char* kWeekdayName = "曜";
constexpr const char* kTimeName = "時刻";
constexpr const char* kTextName = "ｲﾍﾞﾝﾄ";
constexpr const char* kAlarmName = "ｱﾗｰﾑ";
constexpr const char* kDeleteName = "削除";

// What the three pages say about themselves, in the order of the tabs. The object names follow
// the controls' names: a page letter (Y, M, W) inside a fixed prefix and suffix.
struct PageLayout {
  const char* caption;  // two spaces inside each
  const char* tabName;
  const char* listName;
  char letter;
  EventTable EventStore::*table;
  std::span<const ColumnSpec> (*columns)();
  int doneColumn;  // the engine's done marks
  int sortColumn;  // -1: the rows stay in the order the user gives them
};

constexpr PageLayout kPageLayouts[] = {
    {"年  間", "TabYear", "gbYear", 'Y', &EventStore::year, YearColumns, YearCol::kDone,
     YearCol::kSortKey},
    {"月  間", "TabMonth", "gbMonth", 'M', &EventStore::month, MonthColumns, MonthCol::kDone,
     MonthCol::kSortKey},
    {"週  間", "TabWeek", "gbWeek", 'W', &EventStore::week, WeekColumns, WeekCol::kDone, -1},
};

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

// The places of the inputs, each above the list column it fills.
struct ComboPlace {
  int left;
  int width;
  int dropDownLines;
};
constexpr ComboPlace kTypePlace{8, 105, kDropDownLines};  // also the yearly month
constexpr ComboPlace kDatePlace{113, 72, kDayDropDownLines};
constexpr ComboPlace kWeekdayPlace{113, 72, kDropDownLines};
constexpr ComboPlace kAlarmPlace{401, 96, kDropDownLines};
constexpr int kTimeLeft = 185, kTimeWidth = 48;
constexpr int kTextLeft = 233, kTextWidth = 168;
constexpr int kPanelLeft = 497, kPanelWidth = 48;

const QColor kSilver(192, 192, 192);
const QColor kNavy(0, 0, 128);

QString Ui(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// A control's name: the page letter between a prefix and a suffix ("me" 'Y' "Time").
QString Name(const char* prefix, char letter, const char* suffix) {
  return QLatin1String(prefix) + QLatin1Char(letter) + QLatin1String(suffix);
}

// A short code of digits as a number; 0 for anything else.
int CodeNumber(std::string_view code) {
  if (code.empty() || code.size() > 4) return 0;
  int n = 0;
  for (char c : code) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

// The white box around the yearly delete check box; a click beside the box counts as a click
// on it.
class ClickPanel final : public QFrame {
  Q_OBJECT

 public:
  using QFrame::QFrame;

 signals:
  void Clicked();

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
    if (click) emit Clicked();
  }

 private:
  bool pressed_ = false;
};

namespace {

// A caption without the spaces that spread it over its tab ("年  間" → "年間").
QString Unspaced(const char* utf8) {
  return Ui(utf8).remove(QLatin1Char(' '));
}

// A pick-from-list combo filled from a code table (none: filled later).
TMemMultiCombo* NewCombo(QWidget* page, const QString& name, const char* spokenName,
                         ComboPlace place, const TCodeData* items, bool imeClosed = true) {
  auto* combo = new TMemMultiCombo(page);
  combo->setObjectName(name);
  combo->setAccessibleName(Ui(spokenName));
  combo->SetStyle(csDropDownList);
  combo->setGeometry(place.left, kInputTop, place.width, kInputHeight);
  combo->setMaxVisibleItems(place.dropDownLines);
  // Names are picked, never typed: no input method conversion.
  if (imeClosed) combo->setInputMethodHints(Qt::ImhLatinOnly);
  if (items) FillCombo(*items, *combo);
  return combo;
}

TMultiEdit* NewEdit(QWidget* page, const QString& name, const char* spokenName, int left, int width,
                    int maxLength) {
  auto* edit = new TMultiEdit(page);
  edit->setObjectName(name);
  edit->setAccessibleName(Ui(spokenName));
  edit->SetEditType(etNone);
  edit->SetMaxLength(maxLength);
  edit->setGeometry(left, kInputTop, width, kInputHeight);
  return edit;
}

QPushButton* NewButton(QWidget* parent, const QString& name, const char* caption, int left,
                       int top) {
  auto* button = new QPushButton(Ui(caption), parent);
  button->setObjectName(name);
  button->setGeometry(left, top, kButtonWidth, kButtonHeight);
  return button;
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

// ---------------------------------------------------------------------------------------------
// The window

void TdlgEventSet::BuildWindow() {
  RegisterFontSubstitutions();
  setWindowTitle(Ui(kCaption));
  KeepFramed(*this, Frame::kDialog);
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
  pageEvent_->setObjectName(QStringLiteral("PageEvent"));
  pageEvent_->setGeometry(16, 16, 584, 400);
  // Clicking a tab takes the focus, so a field whose entry is refused keeps its page up.
  pageEvent_->tabBar()->setFocusPolicy(Qt::StrongFocus);

  pbExec_ = NewButton(this, QStringLiteral("pbExec"), kExecCaption, 440, 424);
  pbExec_->setDefault(true);
  pbCancel_ = NewButton(this, QStringLiteral("pbCancel"), kCancelCaption, 520, 424);
  connect(pbExec_, &QPushButton::clicked, this, &TdlgEventSet::pbExecClick);
  connect(pbCancel_, &QPushButton::clicked, this, &TdlgEventSet::pbCancelClick);

  for (PageIndex index : {kYearPage, kMonthPage, kWeekPage}) BuildPage(index);
  pageEvent_->setCurrentWidget(Year().tab);
  BuildYearInputs();
  BuildMonthInputs();
  BuildWeekInputs();
  BuildTabOrder();
}

void TdlgEventSet::BuildPage(PageIndex index) {
  const PageLayout& def = kPageLayouts[index];
  Page& page = pages_[index];
  page.tab = new QWidget;
  page.tab->setObjectName(QLatin1String(def.tabName));
  page.tab->setAccessibleName(Unspaced(def.caption));
  pageEvent_->addTab(page.tab, Ui(def.caption));
  page.table = &(host_.Store().*def.table);
  page.doneColumn = def.doneColumn;
  if (def.sortColumn >= 0) page.sortColumn = def.sortColumn;

  page.list = new CGridBase(page.table, page.tab);
  page.list->setObjectName(QLatin1String(def.listName));
  page.list->setAccessibleName(Unspaced(def.caption) + Ui(kListSuffix));
  page.list->move(kListLeft, kListTop);
  // Tab reaches the list too, so a keyboard alone can choose a row for 更新 and 削除.
  page.list->setFocusPolicy(Qt::StrongFocus);
  // The columns over a table that already holds events: the layout is computed without
  // emptying it.
  const auto columns = def.columns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    page.list->DefineColumn(static_cast<int>(c), sjis::Lit(columns[c].titleUtf8), columns[c].width,
                            columns[c].align);
  }
  page.list->SetRowCountGroup(1);
  page.list->ComputeLayout();

  page.time =
      NewEdit(page.tab, Name("me", def.letter, "Time"), kTimeName, kTimeLeft, kTimeWidth, 5);
  page.time->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhPreferNumbers);
  page.time->SetOnUserValidate(
      [this](TMultiEdit& sender, int& result) { meTimeUserValidate(sender, result); });
  page.text = NewEdit(page.tab, Name("me", def.letter, "Event"), kTextName, kTextLeft, kTextWidth,
                      static_cast<int>(ini::kEventTextMaxBytes));
  page.alarm = NewCombo(page.tab, Name("mcb", def.letter, "Alarm"), kAlarmName, kAlarmPlace,
                        &Codes().cdAlarm);
  page.add = NewButton(page.tab, Name("pb", def.letter, "Add"), kAddCaption, 320, kPageButtonTop);
  page.update =
      NewButton(page.tab, Name("pb", def.letter, "Upd"), kUpdateCaption, 400, kPageButtonTop);
  page.remove =
      NewButton(page.tab, Name("pb", def.letter, "Del"), kDeleteCaption, 480, kPageButtonTop);

  connect(page.list, &CGridBase::Clicked, this, [this, &page] { ListClick(page); });
  connect(page.add, &QPushButton::clicked, this, [this, &page] { AddClick(page); });
  connect(page.update, &QPushButton::clicked, this, [this, &page] { UpdateClick(page); });
  connect(page.remove, &QPushButton::clicked, this, [this, &page] { DeleteClick(page); });
}

void TdlgEventSet::BuildYearInputs() {
  Page& page = pages_[kYearPage];
  QWidget* tab = page.tab;
  mcbYMonth_ = NewCombo(tab, QStringLiteral("mcbYMonth"), kMonthName, kTypePlace, &Codes().cdMonth);
  // The days follow the month, in mcbYMonthChange.
  mcbYDate_ = NewCombo(tab, QStringLiteral("mcbYDate"), kDateName, kDatePlace, nullptr);
  connect(mcbYMonth_, &TMultiCombo::UserChanged, this, &TdlgEventSet::mcbYMonthChange);

  auto* panel = new ClickPanel(tab);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setGeometry(kPanelLeft, kInputTop, kPanelWidth, kInputHeight);
  panel->setFrameStyle(QFrame::Box | QFrame::Plain);
  panel->setLineWidth(1);
  panel->setAutoFillBackground(true);
  connect(panel, &ClickPanel::Clicked, this, &TdlgEventSet::Panel1Click);
  panel1_ = panel;
  Panel1Exit();
  cbYDel_ = new QCheckBox(panel1_);
  cbYDel_->setObjectName(QStringLiteral("cbYDel"));
  cbYDel_->setAccessibleName(Ui(kDeleteName));
  // 12, 2 inside the panel's one-pixel border.
  cbYDel_->setGeometry(13, 3, 17, 17);
  cbYDel_->installEventFilter(this);

  page.tabOrder = {page.list,  mcbYMonth_, mcbYDate_, page.time,   page.text,
                   page.alarm, cbYDel_,    page.add,  page.update, page.remove};
  page.inputRow = &TdlgEventSet::YearInputRow;
  page.showRow = &TdlgEventSet::gbYearClick;
}

void TdlgEventSet::BuildMonthInputs() {
  Page& page = pages_[kMonthPage];
  QWidget* tab = page.tab;
  mcbMType_ = NewCombo(tab, QStringLiteral("mcbMType"), kTypeName, kTypePlace, &Codes().cdMType);
  mcbMDate_ = NewCombo(tab, QStringLiteral("mcbMDate"), kDateName, kDatePlace, &Codes().cdDate);
  // The monthly weekday leaves the input method as it is.
  mcbMDay_ =
      NewCombo(tab, QStringLiteral("mcbMDay"), kWeekdayName, kWeekdayPlace, &Codes().cdDay, false);
  connect(mcbMType_, &TMultiCombo::UserChanged, this, &TdlgEventSet::mcbMTypeChange);

  // The weekday combo shares its place with the day of month, and comes last.
  page.tabOrder = {mcbMType_, mcbMDate_, page.time,   page.text,   page.alarm,
                   page.list, page.add,  page.update, page.remove, mcbMDay_};
  page.inputRow = &TdlgEventSet::MonthInputRow;
  page.showRow = &TdlgEventSet::gbMonthClick;
}

void TdlgEventSet::BuildWeekInputs() {
  Page& page = pages_[kWeekPage];
  QWidget* tab = page.tab;
  mcbWType_ = NewCombo(tab, QStringLiteral("mcbWType"), kTypeName, kTypePlace, &Codes().cdWType);
  mcbWDay_ = NewCombo(tab, QStringLiteral("mcbWDay"), kWeekdayName, kWeekdayPlace, &Codes().cdDay);
  connect(mcbWType_, &TMultiCombo::UserChanged, this, &TdlgEventSet::mcbWTypeChange);

  page.tabOrder = {mcbWType_, mcbWDay_, page.time,   page.text,  page.alarm,
                   page.list, page.add, page.update, page.remove};
  page.inputRow = &TdlgEventSet::WeekInputRow;
  page.showRow = &TdlgEventSet::gbWeekClick;
}

void TdlgEventSet::BuildTabOrder() {
  // Controls on the pages that are not shown are passed over, so one chain serves all three.
  std::vector<QWidget*> chain = {pageEvent_};
  for (const Page& page : pages_)
    chain.insert(chain.end(), page.tabOrder.begin(), page.tabOrder.end());
  chain.push_back(pbExec_);
  chain.push_back(pbCancel_);
  for (std::size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

// ---------------------------------------------------------------------------------------------
// Life cycle

void TdlgEventSet::FormCreate() {
  // The combos were filled as they were made; the yearly days follow the first month.
  for (TMemMultiCombo* combo : {mcbWType_, mcbWDay_, mcbMType_, mcbMDate_, mcbMDay_, mcbYMonth_}) {
    SelectFirst(*combo);
  }
  for (Page& page : pages_) {
    SelectFirst(*page.alarm);
    page.time->SetText({});
    page.text->SetText({});
  }
  mcbWTypeChange();
  mcbMTypeChange();
  mcbYMonthChange();
  SelectFirst(*mcbYDate_);
  cbYDel_->setChecked(false);
}

void TdlgEventSet::Execute(int month, int day) {
  const ClockPause pause(host_.State());
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
  // However the window went away, the tables must not keep edits the user never confirmed.
  if (snapshot_) pbCancelClick();
  FormClose();
}

void TdlgEventSet::FormShow() {
  Snapshot snapshot;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    const EventTable& table = *pages_[i].table;
    TableCopy& copy = snapshot.tables[i];
    for (int r = 1; r <= table.DataRowCount(); ++r) {
      std::vector<std::string> row;
      row.reserve(static_cast<std::size_t>(table.ColCount()));
      for (int col = 0; col < table.ColCount(); ++col) row.emplace_back(table.Cell(col, r));
      copy.rows.push_back(std::move(row));
    }
    copy.selectedRow = table.SelectedRow();
    copy.topRow = table.TopRow();
  }
  snapshot_ = std::move(snapshot);
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
  host_.RestartTick(kTickAfterSave);
}

void TdlgEventSet::pbCancelClick() {
  const bool reloaded = host_.IniLoad();
  if (snapshot_) {
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      EventTable& table = *pages_[i].table;
      const TableCopy& copy = snapshot_->tables[i];
      if (reloaded) {
        // The file holds no done marks: give the engine back the ones it had, each to its own
        // event, wherever a hand edit of the file has moved it.
        EventTable before(table.ColCount());
        for (const auto& row : copy.rows) before.InsertRow(before.DataRowCount() + 1, row);
        CarryDoneMarks(before, table, pages_[i].doneColumn);
        continue;
      }
      // The file could not be read again (the user has been told): the tables go back to what
      // they were when the dialog opened, which is what the reload would have given.
      table.ClearRows();
      for (const auto& row : copy.rows) table.InsertRow(table.DataRowCount() + 1, row);
      table.SelectRow(copy.selectedRow);
      table.SetTopRow(copy.topRow);
    }
  }
  snapshot_.reset();
  done(Rejected);
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
// What every page does alike: a click in the list brings its row into the inputs; 追加, 更新
// and 削除 change the list. A sorted page keeps its rows in order of its sort key, the selection
// following its row; the weekly page keeps the order the user gives it.

void TdlgEventSet::ListClick(const Page& page) {
  (this->*page.showRow)();
}

void TdlgEventSet::AddClick(const Page& page) {
  if (!InputsReady(page)) return;
  page.table->InsertRow(page.table->InsertPosition(), (this->*page.inputRow)());
  KeepSorted(page);
}

void TdlgEventSet::UpdateClick(const Page& page) {
  if (!page.table->HasSelectedDataRow() || !InputsReady(page)) return;
  page.table->UpdateRow(page.table->SelectedRow(), (this->*page.inputRow)());
  KeepSorted(page);
}

void TdlgEventSet::DeleteClick(const Page& page) {
  page.table->DeleteRow(page.table->SelectedRow());
  KeepSorted(page);
}

void TdlgEventSet::KeepSorted(const Page& page) {
  if (page.sortColumn) page.table->SortRows(*page.sortColumn, 1);
}

bool TdlgEventSet::InputsReady(const Page& page) {
  TMultiEdit& time = *page.time;
  TMultiEdit& text = *page.text;
  if (time.text().isEmpty() || text.text().isEmpty()) return false;
  if (text.SjisText().find(',') != std::string::npos) {
    host_.ShowNotice(sjis::Lit(kCommaNotice));
    text.setFocus(Qt::OtherFocusReason);
    return false;
  }
  // Normally checked when the field was left; a time that got past that (the focus went to 取消
  // and came back without leaving the field) is checked here, so a row never holds one.
  int result = 1;
  meTimeUserValidate(time, result);
  if (result == 0) {
    time.setFocus(Qt::OtherFocusReason);
    return false;
  }
  return true;
}

// The time check of the three time fields: HHMM (rewritten to HH:MM) or HH:MM.
void TdlgEventSet::meTimeUserValidate(TMultiEdit& sender, int& result) {
  const TimeEntry entry = CheckTime(sender.SjisText());
  sender.SetSjisText(entry.text);
  if (entry.valid) return;
  host_.ShowNotice(sjis::Lit(kTimeNotice));
  result = 0;
}

// ---------------------------------------------------------------------------------------------
// What each page does its own way: which day control a type shows, and how a row is read from
// the inputs and shown in them.

void TdlgEventSet::mcbWTypeChange() {
  mcbWDay_->setVisible(!IsDayPattern(mcbWType_->GetSelCode()));
}

void TdlgEventSet::mcbMTypeChange() {
  const TMemMultiCombo* day = MonthDayControl();
  // The hidden control keeps its selection.
  mcbMDate_->setVisible(day == mcbMDate_);
  mcbMDay_->setVisible(day == mcbMDay_);
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

void TdlgEventSet::gbWeekClick() {
  const EventTable& table = *Week().table;
  const int r = table.SelectedRow();
  mcbWType_->SelectName(table.Cell(WeekCol::kTypeName, r));
  mcbWDay_->SelectName(table.Cell(WeekCol::kDayName, r));
  meWTime()->SetSjisText(table.Cell(WeekCol::kTime, r));
  meWEvent()->SetSjisText(table.Cell(WeekCol::kText, r));
  mcbWAlarm()->SelectName(table.Cell(WeekCol::kAlarmName, r));
  mcbWTypeChange();
}

void TdlgEventSet::gbMonthClick() {
  const EventTable& table = *Month().table;
  const int r = table.SelectedRow();
  mcbMType_->SelectName(table.Cell(MonthCol::kTypeName, r));
  switch (MonthDayPartOf(table.Cell(MonthCol::kTypeCode, r))) {
    case MonthDayPart::kDate:
      mcbMDate_->SelectName(table.Cell(MonthCol::kDayName, r));
      break;
    case MonthDayPart::kWeekday:
      mcbMDay_->SelectName(table.Cell(MonthCol::kDayName, r));
      break;
    case MonthDayPart::kNone:
      break;
  }
  meMTime()->SetSjisText(table.Cell(MonthCol::kTime, r));
  meMEvent()->SetSjisText(table.Cell(MonthCol::kText, r));
  mcbMAlarm()->SelectName(table.Cell(MonthCol::kAlarmName, r));
  mcbMTypeChange();
}

void TdlgEventSet::gbYearClick() {
  const EventTable& table = *Year().table;
  const int r = table.SelectedRow();
  mcbYMonth_->SelectName(table.Cell(YearCol::kMonthName, r));
  mcbYMonthChange();
  mcbYDate_->SelectName(table.Cell(YearCol::kDayName, r));
  meYTime()->SetSjisText(table.Cell(YearCol::kTime, r));
  meYEvent()->SetSjisText(table.Cell(YearCol::kText, r));
  mcbYAlarm()->SelectName(table.Cell(YearCol::kAlarmName, r));
  cbYDel_->setChecked(table.Cell(YearCol::kDelete, r) == ini::kTrue);
}

// The file reader builds its rows the same way, so an event made here equals the same event
// read back from the file.

std::vector<std::string> TdlgEventSet::WeekInputRow() const {
  std::string code = mcbWType_->GetSelCode();
  if (!IsDayPattern(code)) code += mcbWDay_->GetSelCode();
  return WeekRow(code, meWTime()->SjisText(), meWEvent()->SjisText(), mcbWAlarm()->GetSelCode());
}

TMemMultiCombo* TdlgEventSet::MonthDayControl() const {
  switch (MonthDayPartOf(mcbMType_->GetSelCode())) {
    case MonthDayPart::kDate:
      return mcbMDate_;
    case MonthDayPart::kNone:
      return nullptr;
    case MonthDayPart::kWeekday:
      break;
  }
  return mcbMDay_;
}

std::vector<std::string> TdlgEventSet::MonthInputRow() const {
  std::string code = mcbMType_->GetSelCode();
  if (const TMemMultiCombo* day = MonthDayControl()) code += day->GetSelCode();
  return MonthRow(code, meMTime()->SjisText(), meMEvent()->SjisText(), mcbMAlarm()->GetSelCode());
}

std::vector<std::string> TdlgEventSet::YearInputRow() const {
  const std::string code = mcbYMonth_->GetSelCode() + mcbYDate_->GetSelCode();
  return YearRow(code, meYTime()->SjisText(), meYEvent()->SjisText(), mcbYAlarm()->GetSelCode(),
                 ini::BoolToken(cbYDel_->isChecked()));
}

}  // namespace vespin::ui

#include "EventSet.moc"
