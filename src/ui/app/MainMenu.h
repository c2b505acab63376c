#pragma once
// The main window's pop-up menu as a table: each row is an item with its caption, its place,
// its check mark as a reading of the settings and what choosing it does. An item that only
// changes a setting needs no code of its own: its row says which setting and what follows
// (a save, a new layout, a new background, another alarm pass); the calendar is redrawn after
// every setting that changes.
//
//   menu rows --BuildMainMenu--> QMenu + QActions (object names "miBeep" …)
//   Settings --SyncMainMenu--> check marks
//   triggered --> row.apply (Settings) + TfrmMain::SettingChanged(effects), or row.command

#include "events/Settings.h"

class QMenu;

namespace vespin::ui {

class TfrmMain;

// What follows a change of a setting made from the menu.
enum MenuEffect : unsigned {
  kSave = 1,           // write vespin.ini
  kRelayout = 2,       // FontSet: fonts, colours, size and layout (the background follows)
  kBackground = 4,     // BackSet only
  kRecheckEvents = 8,  // the coming events and alarms are worked out again soon
};

// Builds the items into `menu`, connected to `window`, and ticks them from `settings`.
void BuildMainMenu(TfrmMain& window, QMenu& menu, const Settings& settings);
// Ticks every checkable item as the settings say.
void SyncMainMenu(QMenu& menu, const Settings& settings);

}  // namespace vespin::ui
