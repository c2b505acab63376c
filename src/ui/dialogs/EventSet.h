#pragma once
// The event dialog: three pages (yearly, monthly, weekly) that edit the live event tables.
//
//   page inputs --追加/更新/削除--> EventStore (the host's, shared with the engine)
//   list click --> page inputs;  実行 --IniSave--> vespin.ini;  取消 --IniLoad--> tables
//   the engine's done marks survive a 取消: they are kept aside while the dialog is open
//
// The dialog is created once over tables that are already loaded and may be shown many times;
// the page last shown and the inputs stay as the user left them.

#include <QDialog>
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
  // and returns when it has closed. The caller has paused the clock; a closing dialog resumes
  // it.
  void Execute(int month, int day);

  // Days offered on the yearly page for a month: the 29th of February is always offered.
  static int DayCount(int month);

  // The controls, for the application's tests and pictures.
  QTabWidget* PageEvent() const { return pageEvent_; }
  QWidget* TabYear() const { return tabYear_; }
  QWidget* TabMonth() const { return tabMonth_; }
  QWidget* TabWeek() const { return tabWeek_; }
  QPushButton* pbExec() const { return pbExec_; }
  QPushButton* pbCancel() const { return pbCancel_; }

  TMemMultiCombo* mcbYMonth() const { return mcbYMonth_; }
  TMemMultiCombo* mcbYDate() const { return mcbYDate_; }
  TMultiEdit* meYTime() const { return meYTime_; }
  TMultiEdit* meYEvent() const { return meYEvent_; }
  TMemMultiCombo* mcbYAlarm() const { return mcbYAlarm_; }
  QFrame* Panel1() const { return panel1_; }
  QCheckBox* cbYDel() const { return cbYDel_; }
  CGridBase* gbYear() const { return gbYear_; }
  QPushButton* pbYAdd() const { return pbYAdd_; }
  QPushButton* pbYUpd() const { return pbYUpd_; }
  QPushButton* pbYDel() const { return pbYDel_; }

  TMemMultiCombo* mcbMType() const { return mcbMType_; }
  TMemMultiCombo* mcbMDate() const { return mcbMDate_; }
  TMemMultiCombo* mcbMDay() const { return mcbMDay_; }
  TMultiEdit* meMTime() const { return meMTime_; }
  TMultiEdit* meMEvent() const { return meMEvent_; }
  TMemMultiCombo* mcbMAlarm() const { return mcbMAlarm_; }
  CGridBase* gbMonth() const { return gbMonth_; }
  QPushButton* pbMAdd() const { return pbMAdd_; }
  QPushButton* pbMUpd() const { return pbMUpd_; }
  QPushButton* pbMDel() const { return pbMDel_; }

  TMemMultiCombo* mcbWType() const { return mcbWType_; }
  TMemMultiCombo* mcbWDay() const { return mcbWDay_; }
  TMultiEdit* meWTime() const { return meWTime_; }
  TMultiEdit* meWEvent() const { return meWEvent_; }
  TMemMultiCombo* mcbWAlarm() const { return mcbWAlarm_; }
  CGridBase* gbWeek() const { return gbWeek_; }
  QPushButton* pbWAdd() const { return pbWAdd_; }
  QPushButton* pbWUpd() const { return pbWUpd_; }
  QPushButton* pbWDel() const { return pbWDel_; }

 public slots:
  // Esc and every request to close the window mean 取消.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // One list's rows, selection and scroll position.
  struct TableCopy {
    std::vector<std::vector<std::string>> rows;
    int selectedRow = 1;
    int topRow = 1;
  };
  // What the dialog keeps aside while it is open: every list as it was, with the engine's
  // done marks, to fall back on when the file cannot be read again.
  struct Snapshot {
    TableCopy week, month, year;
  };

  void BuildWindow();
  void BuildYearPage();
  void BuildMonthPage();
  void BuildWeekPage();
  void BuildTabOrder();

  void FormCreate();
  void FormShow();
  void FormClose();
  void pbExecClick();
  void pbCancelClick();
  void Panel1Enter();
  void Panel1Exit();
  void Panel1Click();

  void mcbWTypeChange();
  void gbWeekClick();
  void pbWAddClick();
  void pbWUpdClick();
  void pbWDelClick();
  void mcbMTypeChange();
  void gbMonthClick();
  void pbMAddClick();
  void pbMUpdClick();
  void pbMDelClick();
  void mcbYMonthChange();
  void gbYearClick();
  void pbYAddClick();
  void pbYUpdClick();
  void pbYDelClick();
  void meTimeUserValidate(TMultiEdit& sender, int& result);

  // Whether a page's time and event text may become a row. Empty inputs are passed over
  // silently; a comma or a time that is not HH:MM is refused with a notice.
  bool InputsReady(TMultiEdit& time, TMultiEdit& text);
  std::vector<std::string> WeekInputRow() const;
  std::vector<std::string> MonthInputRow() const;
  std::vector<std::string> YearInputRow() const;
  // The monthly day control that goes with the selected type, or none for 末日.
  TMemMultiCombo* MonthDayControl() const;

  EventDialogHost& host_;
  std::optional<Snapshot> snapshot_;

  QTabWidget* pageEvent_ = nullptr;
  QWidget* tabYear_ = nullptr;
  QWidget* tabMonth_ = nullptr;
  QWidget* tabWeek_ = nullptr;
  QPushButton* pbExec_ = nullptr;
  QPushButton* pbCancel_ = nullptr;

  TMemMultiCombo* mcbYMonth_ = nullptr;
  TMemMultiCombo* mcbYDate_ = nullptr;
  TMultiEdit* meYTime_ = nullptr;
  TMultiEdit* meYEvent_ = nullptr;
  TMemMultiCombo* mcbYAlarm_ = nullptr;
  QFrame* panel1_ = nullptr;
  QCheckBox* cbYDel_ = nullptr;
  CGridBase* gbYear_ = nullptr;
  QPushButton* pbYAdd_ = nullptr;
  QPushButton* pbYUpd_ = nullptr;
  QPushButton* pbYDel_ = nullptr;

  TMemMultiCombo* mcbMType_ = nullptr;
  TMemMultiCombo* mcbMDate_ = nullptr;
  TMemMultiCombo* mcbMDay_ = nullptr;
  TMultiEdit* meMTime_ = nullptr;
  TMultiEdit* meMEvent_ = nullptr;
  TMemMultiCombo* mcbMAlarm_ = nullptr;
  CGridBase* gbMonth_ = nullptr;
  QPushButton* pbMAdd_ = nullptr;
  QPushButton* pbMUpd_ = nullptr;
  QPushButton* pbMDel_ = nullptr;

  TMemMultiCombo* mcbWType_ = nullptr;
  TMemMultiCombo* mcbWDay_ = nullptr;
  TMultiEdit* meWTime_ = nullptr;
  TMultiEdit* meWEvent_ = nullptr;
  TMemMultiCombo* mcbWAlarm_ = nullptr;
  CGridBase* gbWeek_ = nullptr;
  QPushButton* pbWAdd_ = nullptr;
  QPushButton* pbWUpd_ = nullptr;
  QPushButton* pbWDel_ = nullptr;
};

}  // namespace vespin::ui
