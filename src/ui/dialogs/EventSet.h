#pragma once
// The event dialog: three pages (yearly, monthly, weekly) that edit the live event tables.
//
//   page inputs --追加/更新/削除--> EventStore (the host's, shared with the engine)
//   list click --> page inputs;  実行 --IniSave--> vespin.ini;  取消 --IniLoad--> tables
//   the engine's done marks survive a 取消: they are kept aside while the dialog is open
//
// The dialog is created once over tables that are already loaded and may be shown many times;
// the page last shown and the inputs stay as the user left them. The three pages differ only in
// what a Page describes; the list click and the three buttons are handled once for all of them.
// Every control carries its name ("meYTime", "gbWeek" …) as its object name.

#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/EventDialogHost.h"

class QCheckBox;
class QFrame;
class QPushButton;
class QTabWidget;

namespace vespin::ui {

class CGridBase;
class TMemMultiCombo;
class TMultiEdit;

class TdlgEventSet final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 616;
  static constexpr int kClientHeight = 469;

  explicit TdlgEventSet(EventDialogHost& host, QWidget* parent = nullptr);
  ~TdlgEventSet() override;
  Q_DISABLE_COPY_MOVE(TdlgEventSet)

  // Preselects the yearly page's month and day by position (1-based; the day list is refilled
  // for that month first, and a day beyond it selects the last one), shows the dialog modally
  // and returns when it has closed. The clock stays paused while the dialog is shown.
  void Execute(int month, int day);

  // The controls, for the application's tests and pictures.
  QTabWidget* PageEvent() const { return pageEvent_; }
  QWidget* TabYear() const { return Year().tab; }
  QWidget* TabMonth() const { return Month().tab; }
  QWidget* TabWeek() const { return Week().tab; }
  QPushButton* pbExec() const { return pbExec_; }
  QPushButton* pbCancel() const { return pbCancel_; }

  TMemMultiCombo* mcbYMonth() const { return mcbYMonth_; }
  TMemMultiCombo* mcbYDate() const { return mcbYDate_; }
  TMultiEdit* meYTime() const { return Year().time; }
  TMultiEdit* meYEvent() const { return Year().text; }
  TMemMultiCombo* mcbYAlarm() const { return Year().alarm; }
  QFrame* Panel1() const { return panel1_; }
  QCheckBox* cbYDel() const { return cbYDel_; }
  CGridBase* gbYear() const { return Year().list; }
  QPushButton* pbYAdd() const { return Year().add; }
  QPushButton* pbYUpd() const { return Year().update; }
  QPushButton* pbYDel() const { return Year().remove; }

  TMemMultiCombo* mcbMType() const { return mcbMType_; }
  TMemMultiCombo* mcbMDate() const { return mcbMDate_; }
  TMemMultiCombo* mcbMDay() const { return mcbMDay_; }
  TMultiEdit* meMTime() const { return Month().time; }
  TMultiEdit* meMEvent() const { return Month().text; }
  TMemMultiCombo* mcbMAlarm() const { return Month().alarm; }
  CGridBase* gbMonth() const { return Month().list; }
  QPushButton* pbMAdd() const { return Month().add; }
  QPushButton* pbMUpd() const { return Month().update; }
  QPushButton* pbMDel() const { return Month().remove; }

  TMemMultiCombo* mcbWType() const { return mcbWType_; }
  TMemMultiCombo* mcbWDay() const { return mcbWDay_; }
  TMultiEdit* meWTime() const { return Week().time; }
  TMultiEdit* meWEvent() const { return Week().text; }
  TMemMultiCombo* mcbWAlarm() const { return Week().alarm; }
  CGridBase* gbWeek() const { return Week().list; }
  QPushButton* pbWAdd() const { return Week().add; }
  QPushButton* pbWUpd() const { return Week().update; }
  QPushButton* pbWDel() const { return Week().remove; }

 public slots:
  // Esc and every request to close the window mean 取消.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One page: its table, its list, the controls every page has, and what the page does its own
  // way. The list click and 追加, 更新, 削除 read only this.
  struct Page {
    QWidget* tab = nullptr;
    EventTable* table = nullptr;
    int doneColumn = 0;  // the engine's done marks, kept aside while the dialog is open
    // The column the rows are kept sorted by; none for a page that keeps the user's order.
    std::optional<int> sortColumn;
    CGridBase* list = nullptr;
    TMultiEdit* time = nullptr;
    TMultiEdit* text = nullptr;
    TMemMultiCombo* alarm = nullptr;
    QPushButton* add = nullptr;
    QPushButton* update = nullptr;
    QPushButton* remove = nullptr;
    // The page's controls in the order Tab walks them, the list among them.
    std::vector<QWidget*> tabOrder;
    // The inputs as a row of the table.
    std::vector<std::string> (TdlgEventSet::*inputRow)() const = nullptr;
    // The selected row back into the inputs.
    void (TdlgEventSet::*showRow)() = nullptr;
  };
  enum PageIndex { kYearPage, kMonthPage, kWeekPage };  // the order of the tabs

  // One list's rows, selection and scroll position.
  struct TableCopy {
    std::vector<std::vector<std::string>> rows;
    int selectedRow = 1;
    int topRow = 1;
  };
  // What the dialog keeps aside while it is open, one entry per page: every list as it was,
  // with the engine's done marks, to give the marks back after a reload and to fall back on
  // when the file cannot be read again.
  struct Snapshot {
    std::array<TableCopy, 3> tables;
  };

  const Page& Year() const { return pages_[kYearPage]; }
  const Page& Month() const { return pages_[kMonthPage]; }
  const Page& Week() const { return pages_[kWeekPage]; }

  void BuildWindow();
  // The list, the time, text and alarm fields and the three buttons, wired to the shared
  // handlers.
  void BuildPage(PageIndex index);
  void BuildYearInputs();
  void BuildMonthInputs();
  void BuildWeekInputs();
  void BuildTabOrder();

  void FormCreate();
  void FormShow();
  void FormClose();
  void pbExecClick();
  void pbCancelClick();
  void Panel1Enter();
  void Panel1Exit();
  void Panel1Click();

  // The handlers every page shares.
  void ListClick(const Page& page);
  void AddClick(const Page& page);
  void UpdateClick(const Page& page);
  void DeleteClick(const Page& page);
  void KeepSorted(const Page& page);
  void meTimeUserValidate(TMultiEdit& sender, int& result);

  // What each page does its own way.
  void mcbWTypeChange();
  void gbWeekClick();
  void mcbMTypeChange();
  void gbMonthClick();
  void mcbYMonthChange();
  void gbYearClick();
  std::vector<std::string> WeekInputRow() const;
  std::vector<std::string> MonthInputRow() const;
  std::vector<std::string> YearInputRow() const;
  // The monthly day control that goes with the selected type, or none for 末日.
  TMemMultiCombo* MonthDayControl() const;

  // Whether a page's time and event text may become a row. Empty inputs are passed over
  // silently; a comma or a time that is not HH:MM is refused with a notice.
  bool InputsReady(const Page& page);

  EventDialogHost& host_;
  std::optional<Snapshot> snapshot_;
  std::array<Page, 3> pages_;

  QTabWidget* pageEvent_ = nullptr;
  QPushButton* pbExec_ = nullptr;
  QPushButton* pbCancel_ = nullptr;

  TMemMultiCombo* mcbYMonth_ = nullptr;
  TMemMultiCombo* mcbYDate_ = nullptr;
  QFrame* panel1_ = nullptr;
  QCheckBox* cbYDel_ = nullptr;

  TMemMultiCombo* mcbMType_ = nullptr;
  TMemMultiCombo* mcbMDate_ = nullptr;
  TMemMultiCombo* mcbMDay_ = nullptr;

  TMemMultiCombo* mcbWType_ = nullptr;
  TMemMultiCombo* mcbWDay_ = nullptr;
};

}  // namespace vespin::ui
