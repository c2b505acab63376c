#pragma once
// Small helpers the widget tests share.
#include <gtest/gtest.h>
#include <QAction>
#include <QColor>
#include <QCoreApplication>
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStringList>
#include <QWidget>

#include "UiText.h"
#include "app/CalendarView.h"
#include "app/Main.h"
#include "calendar/DateTime.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "text/Sjis.h"

namespace vespin::test {

using ui::GothicFace;
using ui::kIdOk;
using ui::ScopedModalHandler;
using ui::TfrmMain;
using ui::TMessageForm;

// Answers every message box at once and keeps its text.
struct Messages {
  QStringList texts;
  ScopedModalHandler handler{[this](QDialog& dialog) {
    texts << dynamic_cast<TMessageForm&>(dialog).MessageLabel()->text();
    return kIdOk;
  }};
};

inline WeekdayNames JapaneseWeekdays() {
  using sjis::Lit;
  return {Lit("日"), Lit("月"), Lit("火"), Lit("水"), Lit("木"), Lit("金"), Lit("土")};
}

// Lets the event loop come round: the calendar is redrawn once after its inputs changed.
inline void Settle() {
  QCoreApplication::processEvents();
}

// A menu item of the main window by its name ("miBeep" …).
inline QAction* MenuItem(const TfrmMain& w, const char* name) {
  auto* item = w.findChild<QAction*>(QLatin1String(name));
  EXPECT_NE(item, nullptr) << name;
  return item;
}

// The cell of day `day` in block `block` of the main window's calendar; -1 when none.
inline int CellOfDay(const TfrmMain& w, int block, int day) {
  const auto& cells = w.Calendar()->Sheet().cells[static_cast<std::size_t>(block)];
  for (int k = 0; k < kCellsPerBlock; ++k) {
    const auto& c = cells[static_cast<std::size_t>(k)];
    if (c.date && DecodeDate(*c.date).day == day) return k;
  }
  return -1;
}

// The offscreen platform draws no title bar: a window's picture with its caption put above
// the client area, for the galleries.
inline QImage WithCaption(const QImage& client, const QString& caption) {
  QImage framed(client.width(), client.height() + 24, QImage::Format_ARGB32);
  framed.fill(QColor(0, 0, 128));
  QPainter p(&framed);
  QFont font(GothicFace());
  font.setPixelSize(14);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(6, 0, client.width(), 24), Qt::AlignVCenter, caption);
  p.drawImage(0, 24, client);
  p.end();
  return framed;
}

}  // namespace vespin::test
