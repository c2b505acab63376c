#include "app/CalendarAccessible.h"

#include <QAccessibleWidget>
#include <QStringList>

#include "AccessibleParts.h"
#include "UiText.h"
#include "app/CalendarView.h"

namespace vespin::ui {
namespace {

// Names spoken by screen readers, as UTF-8.
constexpr const char* kCalendarName = "カレンダー";
constexpr const char* kWeekdaySuffix = "曜日";
constexpr const char* kToday = "今日";
constexpr const char* kHasEvents = "ｲﾍﾞﾝﾄあり";
constexpr const char* kListSeparator = "、";
constexpr const char* kMonthRange = "～";

constexpr int kWeeksPerBlock = kCellsPerBlock / 7;

QString Ui(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QString YearMonthText(YearMonth ym) {
  return QStringLiteral("%1年%2月").arg(ym.year).arg(ym.month);
}

QString WeekdayName(int column) {
  return CalendarView::WeekdayTexts()[static_cast<std::size_t>(column)] + Ui(kWeekdaySuffix);
}

// One header or day cell of a calendar, by its child index.
class CalendarPart : public AccessiblePart {
 public:
  CalendarPart(CalendarView* view, int index) : AccessiblePart(view), index_(index) {}
  int Index() const { return index_; }

 protected:
  CalendarView* View() const { return static_cast<CalendarView*>(Owner()); }

 private:
  int index_;
};

class CalendarHeader final : public CalendarPart {
 public:
  using CalendarPart::CalendarPart;

  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? WeekdayName(Index()) : QString();
  }
  QRect rect() const override {
    return isValid() ? OnScreen(View()->HeaderRect(Index())) : QRect();
  }
  QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.readOnly = true;
    return s;
  }
};

class CalendarDay final : public CalendarPart,
                          public QAccessibleTableCellInterface,
                          public QAccessibleActionInterface {
 public:
  CalendarDay(CalendarView* view, int block, int cell)
      : CalendarPart(view, CalendarChildIndex(block, cell)), block_(block), cell_(cell) {}

  bool isValid() const override {
    return CalendarPart::isValid() && block_ < View()->ShownBlocks();
  }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    return CalendarDayName(Cell());
  }
  QRect rect() const override {
    return isValid() ? OnScreen(View()->DayRect(block_, cell_)) : QRect();
  }
  QAccessible::Role role() const override { return QAccessible::Cell; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.readOnly = true;
    if (!isValid() || !Cell().date) return s;
    s.focusable = true;
    s.selectable = true;
    s.selected = isSelected();
    s.focused = s.selected && View()->hasFocus();
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableCellInterface) {
      return static_cast<QAccessibleTableCellInterface*>(this);
    }
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
  }

  // The table cell.
  bool isSelected() const override {
    if (!isValid()) return false;
    const auto focus = View()->FocusCell();
    return focus && focus->block == block_ && focus->cell == cell_;
  }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    QAccessibleInterface* header = AccessibleChild(View(), cell_ % 7);
    return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return cell_ % 7; }
  int rowIndex() const override { return block_ * kWeeksPerBlock + cell_ / 7; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  // Pressing a day announces its events, as a click does.
  QStringList actionNames() const override {
    if (!isValid() || !Cell().date) return {};
    return {pressAction()};
  }
  void doAction(const QString& name) override {
    if (name == pressAction() && isValid()) View()->PressDay(block_, cell_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  const CalendarCell& Cell() const {
    return View()->Sheet().cells[static_cast<std::size_t>(block_)][static_cast<std::size_t>(cell_)];
  }

  int block_;
  int cell_;
};

class CalendarAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit CalendarAccessible(CalendarView* view) : QAccessibleWidget(view, QAccessible::Table) {}

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        return view()->accessibleName().isEmpty() ? Ui(kCalendarName) : view()->accessibleName();
      case QAccessible::Description:
        return CalendarMonthsText(view()->Sheet(), view()->ShownBlocks());
      default:
        return QAccessibleWidget::text(t);
    }
  }
  int childCount() const override {
    return kCalendarHeaderCount + view()->ShownBlocks() * kCellsPerBlock;
  }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    return parts_.Get(static_cast<std::uint64_t>(index), [&]() -> QAccessibleInterface* {
      if (index < kCalendarHeaderCount) return new CalendarHeader(view(), index);
      const int day = index - kCalendarHeaderCount;
      return new CalendarDay(view(), day / kCellsPerBlock, day % kCellsPerBlock);
    });
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* part = dynamic_cast<const CalendarPart*>(child);
    return part && part->Index() < childCount() ? part->Index() : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const CalendarView::Hit hit = view()->HitAt(view()->mapFromGlobal(QPoint(x, y)));
    switch (hit.kind) {
      case CalendarView::HitKind::Header:
        return child(hit.index);
      case CalendarView::HitKind::Day:
        return child(CalendarChildIndex(hit.block, hit.index));
      case CalendarView::HitKind::None:
        break;
    }
    return nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    const auto focus = view()->FocusCell();
    if (!view()->hasFocus() || !focus) return nullptr;
    return child(CalendarChildIndex(focus->block, focus->cell));
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  // The table: a row for each week, Sunday first.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    return child(CalendarChildIndex(row / kWeeksPerBlock, (row % kWeeksPerBlock) * 7 + column));
  }
  int selectedCellCount() const override { return view()->FocusCell() ? 1 : 0; }
  QList<QAccessibleInterface*> selectedCells() const override {
    const auto focus = view()->FocusCell();
    if (!focus) return {};
    return {child(CalendarChildIndex(focus->block, focus->cell))};
  }
  QString columnDescription(int column) const override {
    return column >= 0 && column < columnCount() ? WeekdayName(column) : QString();
  }
  QString rowDescription(int) const override { return {}; }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  int columnCount() const override { return 7; }
  int rowCount() const override { return view()->ShownBlocks() * kWeeksPerBlock; }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

 private:
  CalendarView* view() const { return static_cast<CalendarView*>(widget()); }

  AccessiblePartCache parts_;
};

// One half of a spin button.
class SpinHalf final : public AccessiblePart, public QAccessibleActionInterface {
 public:
  SpinHalf(SpinButton* button, bool upper) : AccessiblePart(button), upper_(upper) {}
  bool Upper() const { return upper_; }

  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? Button()->HalfName(upper_) : QString();
  }
  QRect rect() const override {
    if (!isValid()) return {};
    const int half = Button()->height() / 2;
    const int width = Button()->width();
    return OnScreen(upper_ ? QRect(0, 0, width, half)
                           : QRect(0, half, width, Button()->height() - half));
  }
  QAccessible::Role role() const override { return QAccessible::Button; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.invisible = !isValid() || !Button()->isVisible();
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && isValid()) Button()->Press(upper_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  SpinButton* Button() const { return static_cast<SpinButton*>(Owner()); }

  bool upper_;
};

class SpinAccessible final : public QAccessibleWidget {
 public:
  explicit SpinAccessible(SpinButton* button) : QAccessibleWidget(button, QAccessible::Grouping) {}

  int childCount() const override { return 2; }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index > 1) return nullptr;
    auto* button = static_cast<SpinButton*>(widget());
    return parts_.Get(static_cast<std::uint64_t>(index),
                      [&] { return new SpinHalf(button, index == 0); });
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* half = dynamic_cast<const SpinHalf*>(child);
    if (!half) return -1;
    return half->Upper() ? 0 : 1;
  }

 private:
  AccessiblePartCache parts_;
};

QAccessibleInterface* CalendarFactory(const QString&, QObject* object) {
  if (auto* view = qobject_cast<CalendarView*>(object)) return new CalendarAccessible(view);
  if (auto* spin = qobject_cast<SpinButton*>(object)) return new SpinAccessible(spin);
  return nullptr;
}

}  // namespace

void InstallCalendarAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&CalendarFactory);
    return true;
  }();
  (void)installed;
}

QString CalendarDayName(const CalendarCell& cell) {
  if (!cell.date) return {};
  const DateParts d = DecodeDate(*cell.date);
  QStringList parts;
  parts << QStringLiteral("%1年%2月%3日 ").arg(d.year).arg(d.month).arg(d.day) +
               WeekdayName(DayOfWeek(*cell.date) - 1);
  if (!cell.holidayName.empty()) parts << FromSjis(cell.holidayName);
  if (cell.today) parts << Ui(kToday);
  if (cell.eventKinds != 0) parts << Ui(kHasEvents);
  return parts.join(Ui(kListSeparator));
}

QString CalendarMonthsText(const CalendarSheet& sheet, int shownBlocks) {
  if (shownBlocks <= 0 || sheet.blocks[0].year < 1) return {};
  const QString first = YearMonthText(sheet.blocks[0]);
  if (shownBlocks == 1) return first;
  return first + Ui(kMonthRange) +
         YearMonthText(sheet.blocks[static_cast<std::size_t>(shownBlocks - 1)]);
}

}  // namespace vespin::ui
