#include "app/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <map>
#include <optional>
#include <vector>

#include "app/Main.h"

namespace vespin::ui {
namespace {

enum class Place { kTop, kNotices, kShow };

struct MenuRow {
  Place place = Place::kTop;
  const char* name = nullptr;  // object name; nullptr for a separator
  const char* caption = nullptr;
  std::optional<Place> opens;  // a submenu: the place its items name
  const char* hint = nullptr;  // kept as the item's status tip
  // Checkable items: whether the settings tick it.
  bool (*checked)(const Settings&) = nullptr;
  // Items that change a setting by themselves, and what follows.
  void (*apply)(Settings&) = nullptr;
  unsigned effects = 0;
  // Items with a window or a decision of their own.
  void (TfrmMain::*command)() = nullptr;
};

using Reading = bool (*)(const Settings&);
using Change = void (*)(Settings&);

MenuRow Separator(Place place) {
  MenuRow row;
  row.place = place;
  return row;
}
MenuRow Submenu(Place place, const char* name, const char* caption, Place opens) {
  MenuRow row = Separator(place);
  row.name = name;
  row.caption = caption;
  row.opens = opens;
  return row;
}
MenuRow Command(Place place, const char* name, const char* caption, void (TfrmMain::*command)(),
                Reading checked = nullptr) {
  MenuRow row = Separator(place);
  row.name = name;
  row.caption = caption;
  row.checked = checked;
  row.command = command;
  return row;
}
MenuRow Setting(Place place, const char* name, const char* caption, Reading checked, Change apply,
                unsigned effects, const char* hint = nullptr) {
  MenuRow row = Separator(place);
  row.name = name;
  row.caption = caption;
  row.hint = hint;
  row.checked = checked;
  row.apply = apply;
  row.effects = effects;
  return row;
}

// In menu order.
const std::vector<MenuRow>& MenuRows() {
  static const std::vector<MenuRow> rows = {
      Command(Place::kTop, "miEvent", "ｲﾍﾞﾝﾄ設定...", &TfrmMain::miEventClick),
      Command(Place::kTop, "miIcalExport", "iCalendarに書き出す...", &TfrmMain::miIcalExportClick),
      Command(Place::kTop, "miOtherCalendars", "他のカレンダー...",
              &TfrmMain::miOtherCalendarsClick),
      Submenu(Place::kTop, "N5", "お知らせﾒｯｾｰｼﾞ", Place::kNotices),
      Setting(
          Place::kNotices, "miBeep", "wav音", [](const Settings& s) { return s.beep; },
          [](Settings& s) { s.beep = !s.beep; }, kSave, "wav音を鳴らします"),
      Setting(
          Place::kNotices, "miStartUp", "起動時", [](const Settings& s) { return s.startUp; },
          [](Settings& s) { s.startUp = !s.startUp; }, kSave, "起動時にもお知らせします"),
      Setting(
          Place::kNotices, "miOnTime", "予定時刻", [](const Settings& s) { return s.onTime; },
          [](Settings& s) { s.onTime = !s.onTime; }, kSave, "予定時刻にもお知らせします"),
      Submenu(Place::kTop, "Show1", "表示", Place::kShow),
      Setting(
          Place::kShow, "miYEventLine", "年間ｲﾍﾞﾝﾄに下線",
          [](const Settings& s) { return s.yearLine; },
          [](Settings& s) { s.yearLine = !s.yearLine; }, kSave),
      Setting(
          Place::kShow, "miMEventLine", "月間ｲﾍﾞﾝﾄに下線",
          [](const Settings& s) { return s.monthLine; },
          [](Settings& s) { s.monthLine = !s.monthLine; }, kSave),
      Setting(
          Place::kShow, "miWEventLine", "週間ｲﾍﾞﾝﾄに下線",
          [](const Settings& s) { return s.weekLine; },
          [](Settings& s) { s.weekLine = !s.weekLine; }, kSave),
      Setting(
          Place::kShow, "miREventLine", "他のカレンダーに下線",
          [](const Settings& s) { return s.extensions.remoteLine; },
          [](Settings& s) { s.extensions.remoteLine = !s.extensions.remoteLine; }, kSave),
      Separator(Place::kShow),
      Setting(
          Place::kShow, "miBackClear", "背景色透明", [](const Settings& s) { return s.backClear; },
          [](Settings& s) { s.backClear = true; }, kBackground | kSave),
      Command(Place::kShow, "miBackSet", "背景色指定...", &TfrmMain::miBackSetClick,
              [](const Settings& s) { return !s.backClear; }),
      Separator(Place::kShow),
      Setting(
          Place::kShow, "miFigureBright", "文字色明",
          [](const Settings& s) { return s.figureBright; },
          [](Settings& s) { s.figureBright = true; }, kRelayout | kSave),
      Setting(
          Place::kShow, "miFigureDark", "文字色暗",
          [](const Settings& s) { return !s.figureBright; },
          [](Settings& s) { s.figureBright = false; }, kRelayout | kSave),
      Separator(Place::kShow),
      Command(Place::kShow, "miFont", "ﾌｫﾝﾄ...", &TfrmMain::miFontClick),
      Separator(Place::kShow),
      // The month count goes with the next write, not at once.
      Setting(
          Place::kShow, "mi1Month", "１ヶ月表示", [](const Settings& s) { return s.months == 1; },
          [](Settings& s) { s.months = 1; }, kRelayout),
      Setting(
          Place::kShow, "mi2Month", "２ヶ月表示", [](const Settings& s) { return s.months == 2; },
          [](Settings& s) { s.months = 2; }, kRelayout),
      Setting(
          Place::kShow, "mi3Month", "３ヶ月表示",
          [](const Settings& s) { return s.months != 1 && s.months != 2; },
          [](Settings& s) { s.months = 3; }, kRelayout),
      Separator(Place::kShow),
      // Business-day and holiday events may fall elsewhere under the other law.
      Setting(
          Place::kShow, "miHolidayLaw", "現行の祝日法",
          [](const Settings& s) { return s.extensions.holidayLaw == HolidayLaw::kCurrent; },
          [](Settings& s) {
            HolidayLaw& law = s.extensions.holidayLaw;
            law = law == HolidayLaw::kCurrent ? HolidayLaw::k2005 : HolidayLaw::kCurrent;
          },
          kSave | kRecheckEvents),
      Command(Place::kTop, "miAbout", "ﾊﾞｰｼﾞｮﾝ情報...", &TfrmMain::miAboutClick),
      Command(Place::kTop, "miExit", "終了", &TfrmMain::miExitClick),
  };
  return rows;
}

}  // namespace

void BuildMainMenu(TfrmMain& window, QMenu& menu, const Settings& settings) {
  std::map<Place, QMenu*> menus{{Place::kTop, &menu}};
  for (const MenuRow& row : MenuRows()) {
    QMenu* in = menus.at(row.place);
    if (!row.name) {
      in->addSeparator();
      continue;
    }
    if (row.opens) {
      QMenu* sub = in->addMenu(QString::fromUtf8(row.caption));
      sub->setObjectName(QLatin1String(row.name));
      menus[*row.opens] = sub;
      continue;
    }
    QAction* action = in->addAction(QString::fromUtf8(row.caption));
    action->setObjectName(QLatin1String(row.name));
    action->setCheckable(row.checked != nullptr);
    if (row.hint) action->setStatusTip(QString::fromUtf8(row.hint));
    QObject::connect(action, &QAction::triggered, &window, [&window, &row] {
      if (row.command) {
        (window.*row.command)();
      } else {
        window.ChangeSetting(row.apply, row.effects);
      }
    });
  }
  SyncMainMenu(menu, settings);
}

void SyncMainMenu(QMenu& menu, const Settings& settings) {
  for (const MenuRow& row : MenuRows()) {
    if (!row.checked) continue;
    if (auto* action = menu.findChild<QAction*>(QLatin1String(row.name))) {
      action->setChecked(row.checked(settings));
    }
  }
}

}  // namespace vespin::ui
