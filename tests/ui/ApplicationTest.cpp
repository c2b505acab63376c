#include "QtWidgetTestSupport.h"
#include "app/Application.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QStringListModel>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "QtFakeSound.h"
#include "TempDir.h"
#include "UiText.h"
#include "app/Main.h"
#include "app/Msg.h"
#include "controls/CMemMultiCombo.h"
#include "controls/CMultiEdit.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "dialogs/EventSet.h"
#include "events/EventRows.h"
#include "events/FileLines.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

using test::CellOfDay;
using test::JapaneseWeekdays;
using test::MenuItem;
using test::Settle;

using sjis::Lit;

const char* const kSample =
    "[週間]\r\n13,10:00,定例会議,04\r\n[月間]\r\n[年間]\r\n[設定]\r\n"
    "40,30,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,TRUE,FALSE,1\r\n"
    "[バージョン]\r\nvespin Ver3.2(2005.04.18)\r\n";

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFontSubstitutions();
    clock.Set(2005, 4, 18, 10, 0, 0);
    oldDir = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.Path().string()));
  }
  void TearDown() override { QDir::setCurrent(oldDir); }

  std::unique_ptr<Application> Start(const std::string& file) {
    dir.Write("vespin.ini", Lit(file));
    auto app =
        std::make_unique<Application>(clock, sound, dir.File("vespin.ini"), JapaneseWeekdays());
    EXPECT_TRUE(app->Start());
    return app;
  }

  // What a user types into the file dialog's name box: a name in the test's folder.
  void TypeFileName(QFileDialog& files, const char* name) {
    files.setDirectory(QString::fromStdString(dir.Path().string()));
    auto* edit = files.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromUtf8(name));
  }

  // The settings line as the file holds it now.
  std::vector<std::string> SettingsFields() {
    const std::string bytes = dir.Read("vespin.ini");
    const auto lines = SplitEventFile(bytes);
    for (const auto& line : lines) {
      if (line.section == FileSection::kSettings && !line.isHeader) return CommaSplit(line.text);
    }
    return {};
  }

  test::FakeClock clock;
  test::FakeSound sound;
  test::TempDir dir;
  QString oldDir;
};

TEST_F(ApplicationTest, MissingFileTellsTheUserAndFailsTheStart) {
  QStringList shown;
  ScopedModalHandler handler([&](QDialog& dialog) {
    shown << dynamic_cast<TfrmMsg&>(dialog).lMsg()->text();
    return QDialog::Accepted;
  });
  Application app(clock, sound, dir.File("vespin.ini"), JapaneseWeekdays());
  EXPECT_FALSE(app.Start());
  EXPECT_EQ(shown, QStringList{QStringLiteral("vespin.iniを開くことができません。")});
  EXPECT_FALSE(std::filesystem::exists(dir.File("vespin.ini")));
}

TEST_F(ApplicationTest, ICalendarExportWritesWhereTheUserSaysAndNothingOnCancel) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  const std::string before = dir.Read("vespin.ini");
  const auto target = dir.File("mine.ics");
  QString title;
  const struct {
    bool accept;
    bool written;
  } cases[] = {{false, false}, {true, true}};
  for (const auto& c : cases) {
    ScopedModalHandler answer([&](QDialog& dialog) {
      auto& files = dynamic_cast<QFileDialog&>(dialog);
      title = files.windowTitle();
      if (!c.accept) return int(QDialog::Rejected);
      TypeFileName(files, "mine.ics");
      return int(QDialog::Accepted);
    });
    MenuItem(w, "miIcalExport")->trigger();
    EXPECT_EQ(std::filesystem::exists(target), c.written);
  }
  EXPECT_EQ(title, QStringLiteral("iCalendarに書き出す"));
  const std::string ics = dir.Read("mine.ics");
  // Today is Monday 18 April 2005: the meeting's first Tuesday is the next day.
  EXPECT_NE(ics.find("SUMMARY:定例会議\r\n"), std::string::npos);
  EXPECT_NE(ics.find("DTSTART;TZID=Asia/Tokyo:20050419T100000\r\n"), std::string::npos);
  EXPECT_EQ(dir.Read("vespin.ini"), before);
}

TEST_F(ApplicationTest, ICalendarExportThatCannotWriteTellsTheUser) {
  auto app = Start(kSample);
  // A folder already has the name.
  std::filesystem::create_directory(dir.File("taken.ics"));
  QStringList shown;
  ScopedModalHandler answer([&](QDialog& dialog) {
    if (auto* files = dynamic_cast<QFileDialog*>(&dialog)) {
      TypeFileName(*files, "taken.ics");
    } else {
      shown << dynamic_cast<TfrmMsg&>(dialog).lMsg()->text();
    }
    return int(QDialog::Accepted);
  });
  MenuItem(app->MainWindow(), "miIcalExport")->trigger();
  EXPECT_EQ(shown, QStringList{QStringLiteral("iCalendarファイルに書き込むことができません。")});
}

TEST_F(ApplicationTest, StartAppliesTheFileToTheWindow) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  EXPECT_EQ(w.pos(), QPoint(40, 30));
  EXPECT_TRUE(MenuItem(w, "miBackClear")->isChecked());
  EXPECT_FALSE(MenuItem(w, "miBackSet")->isChecked());
  EXPECT_TRUE(MenuItem(w, "miFigureDark")->isChecked());
  EXPECT_TRUE(MenuItem(w, "mi1Month")->isChecked());
  EXPECT_TRUE(MenuItem(w, "miStartUp")->isChecked());
  EXPECT_FALSE(MenuItem(w, "miBeep")->isChecked());
  EXPECT_EQ(w.Image()->x(), w.width());
  EXPECT_EQ(app->Store().week.DataRowCount(), 1);
  EXPECT_EQ(w.windowFlags() & (Qt::Tool | Qt::FramelessWindowHint),
            Qt::Tool | Qt::FramelessWindowHint);
}

TEST_F(ApplicationTest, WithoutASettingsLineTheWindowIsFlushWithTheRightEdge) {
  std::string file = kSample;
  file.erase(file.find("40,30,"), file.find("[バージョン]") - file.find("40,30,"));
  auto app = Start(file);
  TfrmMain& w = app->MainWindow();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_LT(w.width(), TfrmMain::kCreateWidth);  // the layout made it narrower
  EXPECT_EQ(w.x() + w.width(), screen.x() + screen.width());
  EXPECT_EQ(w.y(), screen.y());
}

TEST_F(ApplicationTest, SettingsItemsWriteTheFileAndMonthItemsDoNot) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  const std::string before = dir.Read("vespin.ini");
  MenuItem(w, "mi3Month")->trigger();
  MenuItem(w, "mi2Month")->trigger();
  EXPECT_EQ(dir.Read("vespin.ini"), before);
  EXPECT_TRUE(MenuItem(w, "mi2Month")->isChecked());
  EXPECT_FALSE(MenuItem(w, "mi3Month")->isChecked());

  const struct {
    const char* item;
    int field;
    const char* value;
  } cases[] = {
      {"miBeep", 5, "TRUE"},           {"miStartUp", 11, "FALSE"},  {"miOnTime", 12, "TRUE"},
      {"miYEventLine", 8, "TRUE"},     {"miMEventLine", 9, "TRUE"}, {"miWEventLine", 10, "TRUE"},
      {"miFigureBright", 3, "BRIGHT"}, {"miFigureDark", 3, "DARK"}, {"miWEventLine", 10, "FALSE"},
  };
  for (const auto& c : cases) {
    MenuItem(w, c.item)->trigger();
    const auto fields = SettingsFields();
    ASSERT_EQ(fields.size(), 14u);
    EXPECT_EQ(fields[static_cast<std::size_t>(c.field)], c.value) << c.item;
    EXPECT_EQ(fields[13], "2");  // the month count rides along with the next write
  }
  // The window position is written with every save.
  w.move(70, 80);
  MenuItem(w, "miBeep")->trigger();
  EXPECT_EQ(SettingsFields()[0], "70");
  EXPECT_EQ(SettingsFields()[1], "80");
}

// The holiday item: on from a file that holds the section, written only while on, and the
// business-day events of the panel follow it at the next tick.
TEST_F(ApplicationTest, HolidayLawItemFollowsTheFileAndWritesOnlyWhileOn) {
  const std::string body =
      "[週間]\r\n82,12:00,昼休み,02\r\n[月間]\r\n[年間]\r\n[設定]\r\n"
      "40,30,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,FALSE,FALSE,1\r\n"
      "[バージョン]\r\nvespin Ver3.2(2005.04.18)\r\n";
  const std::string section = "[拡張]\r\n祝日=現行\r\n";
  clock.Set(2026, 12, 23, 9, 0, 0, 10);  // a Wednesday, a holiday only under the 2005 rules
  {
    auto app = Start(body + section);
    EXPECT_TRUE(MenuItem(app->MainWindow(), "miHolidayLaw")->isChecked());
    EXPECT_EQ(app->Holidays(), HolidayLaw::kCurrent);
  }

  auto app = Start(body);
  TfrmMain& w = app->MainWindow();
  EXPECT_FALSE(MenuItem(w, "miHolidayLaw")->isChecked());
  w.TimerTimer();
  EXPECT_EQ(w.lEvent(0)->text(), QString());

  MenuItem(w, "miHolidayLaw")->trigger();
  EXPECT_EQ(dir.Read("vespin.ini"), Lit(body + section));
  EXPECT_EQ(w.Timer().interval(), TfrmMain::kFirstTickMsecs);
  w.TimerTimer();  // the tick the item armed
  EXPECT_EQ(w.lEvent(0)->text(), QStringLiteral("昼休み"));
  EXPECT_EQ(w.lTimeN(0)->text(), QStringLiteral("12:00"));

  MenuItem(w, "miHolidayLaw")->trigger();
  EXPECT_EQ(dir.Read("vespin.ini"), Lit(body));
  w.TimerTimer();
  EXPECT_EQ(w.lEvent(0)->text(), QString());
}

// The message loop itself: 終了 ends it without a write, the window's close with one.
TEST_F(ApplicationTest, ExitEndsWithoutWritingAndCloseWrites) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  w.show();
  w.move(300, 310);
  const std::string before = dir.Read("vespin.ini");
  QTimer::singleShot(0, MenuItem(w, "miExit"), &QAction::trigger);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(dir.Read("vespin.ini"), before);

  QTimer::singleShot(0, &w, &QWidget::close);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(SettingsFields()[0], "300");
  EXPECT_EQ(SettingsFields()[1], "310");
}

// The first calendar the panel shows already underlines the file's events, and a close straight
// after the start (a logout at start-up) writes every event back.
TEST_F(ApplicationTest, TheFirstPictureShowsTheEventsAndAnEarlyCloseKeepsThem) {
  const std::string file =
      "[週間]\r\n13,10:00,定例会議,04\r\n81,25:00,壊れた時刻,04\r\n[月間]\r\n"
      "119,12:00,給料日,01\r\n[年間]\r\n0425,09:00,記念日,04,FALSE\r\n[設定]\r\n"
      "40,30,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,TRUE,TRUE,TRUE,FALSE,FALSE,1\r\n"
      "[バージョン]\r\nvespin Ver3.2(2005.04.18)\r\n";
  const auto underlines = [](const TfrmMain& w) {
    std::vector<bool> marks;
    for (const auto& cell : w.Calendar()->Sheet().cells[0]) marks.push_back(cell.underline);
    return marks;
  };
  {
    auto app = Start(file);
    TfrmMain& w = app->MainWindow();
    const std::vector<bool> first = underlines(w);
    // April 2005: the Tuesdays (the 19th among them) and the 25th.
    EXPECT_EQ(std::count(first.begin(), first.end(), true), 5);
    EXPECT_EQ(app->Store().week.DataRowCount(), 2);
    w.DrawCalendar();
    EXPECT_EQ(underlines(w), first);
  }
  const std::string written = dir.Read("vespin.ini");
  auto app = Start(file);
  app->MainWindow().close();
  const auto events = [](const std::string& bytes) {
    std::vector<std::string> lines;
    for (const FileLine& line : SplitEventFile(bytes)) {
      if (line.section != FileSection::kSettings) lines.emplace_back(line.text);
    }
    return lines;
  };
  EXPECT_EQ(events(dir.Read("vespin.ini")), events(written));
  EXPECT_EQ(app->Store().year.DataRowCount(), 1);
}

TEST_F(ApplicationTest, ColourChooserWritesOnlyAConfirmedColour) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  const std::string before = dir.Read("vespin.ini");
  {
    ScopedModalHandler cancel([](QDialog& dialog) {
      EXPECT_EQ(dynamic_cast<QColorDialog&>(dialog).currentColor(), QColor(192, 192, 192));
      return int(QDialog::Rejected);
    });
    MenuItem(w, "miBackSet")->trigger();
  }
  EXPECT_EQ(dir.Read("vespin.ini"), before);
  EXPECT_TRUE(MenuItem(w, "miBackClear")->isChecked());
  EXPECT_FALSE(MenuItem(w, "miBackSet")->isChecked());
  {
    ScopedModalHandler pick([](QDialog& dialog) {
      dynamic_cast<QColorDialog&>(dialog).setCurrentColor(QColor(1, 2, 3));
      return int(QDialog::Accepted);
    });
    MenuItem(w, "miBackSet")->trigger();
  }
  EXPECT_EQ(SettingsFields()[2], std::to_string(1 | 2 << 8 | 3 << 16));
  EXPECT_TRUE(MenuItem(w, "miBackSet")->isChecked());
  EXPECT_EQ(w.Image()->x(), 0);
  MenuItem(w, "miBackClear")->trigger();
  EXPECT_EQ(SettingsFields()[2], "CLEAR");
}

TEST_F(ApplicationTest, FontChooserOffersNoEffectsAndNoSizeOutside6To24) {
  // Stored bold and underlined: the dialog can change the weight but not the underline.
  std::string file = kSample;
  file.replace(file.find(",9,0,"), 5, ",9,5,");
  auto app = Start(file);
  TfrmMain& w = app->MainWindow();
  const std::string before = dir.Read("vespin.ini");
  {
    ScopedModalHandler look([](QDialog& dialog) {
      auto& fd = dynamic_cast<QFontDialog&>(dialog);
      EXPECT_EQ(fd.currentFont().pointSize(), 9);
      // Preset to the installed face that "ＭＳ ゴシック" stands for here.
      EXPECT_EQ(fd.currentFont().family(), QFontInfo(QFont(GothicFace())).family());
      for (QCheckBox* box : fd.findChildren<QCheckBox*>())
        EXPECT_FALSE(box->isVisibleTo(&fd)) << box->text().toStdString();
      int sizeLists = 0;
      for (QListView* view : fd.findChildren<QListView*>()) {
        auto* model = qobject_cast<QStringListModel*>(view->model());
        if (!model || model->stringList().isEmpty() || model->stringList()[0].toInt() <= 0)
          continue;
        ++sizeLists;
        for (const QString& s : model->stringList()) {
          EXPECT_LE(s.toInt(), 24);
          EXPECT_GE(s.toInt(), 6);
        }
      }
      EXPECT_EQ(sizeLists, 1);
      return int(QDialog::Rejected);
    });
    MenuItem(w, "miFont")->trigger();
  }
  EXPECT_EQ(dir.Read("vespin.ini"), before);

  // Taking the dialog as it comes keeps the name the file gave, so other desktops still know it.
  {
    ScopedModalHandler take([](QDialog&) { return int(QDialog::Accepted); });
    MenuItem(w, "miFont")->trigger();
  }
  auto fields = SettingsFields();
  EXPECT_EQ(sjis::ToUtf8(fields[4]), "ＭＳ ゴシック");
  EXPECT_EQ(fields[7], "5");

  // Another face in the chooser, at `points`.
  const auto pickIpaPGothic = [&w](int points) {
    ScopedModalHandler pick([points](QDialog& dialog) {
      QFont f(QStringLiteral("IPAPGothic"));
      f.setPointSize(points);
      dynamic_cast<QFontDialog&>(dialog).setCurrentFont(f);
      return int(QDialog::Accepted);
    });
    MenuItem(w, "miFont")->trigger();
  };
  pickIpaPGothic(14);
  fields = SettingsFields();
  EXPECT_EQ(fields[4], "IPAPGothic");
  EXPECT_EQ(fields[6], "14");
  EXPECT_EQ(fields[7], "4");  // another face, taken in its regular cut; still underlined
  EXPECT_EQ(w.WindowFont().pointSize(), 14);

  // A size set below what the panel shows (not by typing) is stored as the panel shows it.
  pickIpaPGothic(4);
  EXPECT_EQ(SettingsFields()[6], "6");
  EXPECT_EQ(w.WindowFont().pointSize(), 6);
}

TEST_F(ApplicationTest, FontChooserStoresTheSizeAndStyleItShows) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  // A face whose chooser lists a slanted style first, where one is installed.
  QString slantedFirst;
  for (const QString& family : QFontDatabase::families()) {
    const QStringList styles = QFontDatabase::styles(family);
    if (styles.size() > 1 && QFontDatabase::italic(family, styles.first()) &&
        !QFontDatabase::italic(family, styles.last())) {
      slantedFirst = family;
      break;
    }
  }
  {
    ScopedModalHandler typeAndPick([&slantedFirst](QDialog& dialog) {
      auto& fd = dynamic_cast<QFontDialog&>(dialog);
      const QList<QListView*> lists = fd.findChildren<QListView*>();
      EXPECT_EQ(lists.size(), 3);
      if (lists.size() != 3) return int(QDialog::Rejected);
      QLineEdit* size = nullptr;
      for (QLineEdit* edit : fd.findChildren<QLineEdit*>()) {
        if (edit->validator() && !size) size = edit;
      }
      QPushButton* ok = fd.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
      // The sample text keeps the room it needs without the effects beside it.
      for (QLineEdit* edit : fd.findChildren<QLineEdit*>()) {
        if (edit->text() != QStringLiteral("AaBbYyZz")) continue;
        EXPECT_TRUE(edit->isVisible());
        EXPECT_GE(edit->height(), QFontMetrics(edit->font()).height());
      }
      if (!slantedFirst.isEmpty()) {
        // Another face keeps the upright style the user had, not the first one listed.
        const auto found = lists[0]->model()->match(lists[0]->model()->index(0, 0), Qt::DisplayRole,
                                                    slantedFirst, 1, Qt::MatchExactly);
        EXPECT_FALSE(found.isEmpty());
        if (!found.isEmpty()) lists[0]->setCurrentIndex(found.first());
        EXPECT_EQ(fd.currentFont().family(), slantedFirst);
        EXPECT_FALSE(fd.currentFont().italic())
            << lists[1]->currentIndex().data().toString().toStdString();
      }
      // The face's sizes, refilled for it, are still those the panel shows.
      for (const QString& s : qobject_cast<QStringListModel*>(lists[2]->model())->stringList()) {
        EXPECT_GE(s.toInt(), 6);
        EXPECT_LE(s.toInt(), 24);
      }
      // A size beyond 24 cannot be typed, and a size on its way to one cannot be confirmed.
      size->selectAll();
      QTest::keyClicks(size, QStringLiteral("28"));
      EXPECT_EQ(size->text(), QStringLiteral("2"));
      EXPECT_FALSE(ok->isEnabled());
      QTest::keyClicks(size, QStringLiteral("0"));
      EXPECT_EQ(size->text(), QStringLiteral("20"));
      EXPECT_TRUE(ok->isEnabled());
      EXPECT_EQ(fd.currentFont().pointSize(), 20);
      return int(QDialog::Accepted);
    });
    MenuItem(w, "miFont")->trigger();
  }
  const auto fields = SettingsFields();
  EXPECT_EQ(fields[6], "20");
  EXPECT_EQ(fields[7], "0");  // upright and regular, as shown
  if (!slantedFirst.isEmpty()) {
    EXPECT_EQ(fields[4], slantedFirst.toStdString());
  }
}

TEST_F(ApplicationTest, ChoosersStandBesideThePanelWhollyOnTheScreen) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  w.show();
  Settle();
  const QRect screen = w.screen()->availableGeometry();
  for (const char* item : {"miBackSet", "miFont", "miIcalExport"}) {
    QRect chooser;
    {
      ScopedModalHandler look([&chooser](QDialog& dialog) {
        chooser = dialog.frameGeometry();
        return int(QDialog::Rejected);
      });
      MenuItem(w, item)->trigger();
    }
    EXPECT_FALSE(chooser.isEmpty()) << item;
    EXPECT_FALSE(chooser.intersects(w.frameGeometry())) << item;
    EXPECT_TRUE(screen.contains(chooser)) << item;
  }
}

TEST_F(ApplicationTest, NoticesSoundOnlyWithTheOption) {
  auto app = Start(kSample);
  ScopedModalHandler ok([](QDialog&) { return int(QDialog::Accepted); });
  app->ShowNotice(Lit("静か"));
  EXPECT_TRUE(sound.calls.isEmpty());
  MenuItem(app->MainWindow(), "miBeep")->trigger();
  app->ShowNotice(Lit("鳴る"));
  EXPECT_EQ(sound.calls, QStringList{QStringLiteral("beep")});
  dir.Write("vespin.wav", "RIFF");
  app->ShowNotice(Lit("鳴る"));
  EXPECT_EQ(sound.calls.size(), 2);
  EXPECT_TRUE(sound.calls[1].startsWith(QStringLiteral("file:")));
}

TEST_F(ApplicationTest, HandEditedFontSizeIsTakenToTheNearestLimit) {
  for (const auto& [stored, used] : {std::pair{"300", 24}, std::pair{"3", 6}, std::pair{"0", 6}}) {
    std::string file = kSample;
    file.replace(file.find(",9,0,"), 5, std::string(",") + stored + ",0,");
    auto app = Start(file);
    EXPECT_EQ(app->CurrentSettings().fontSize, used) << stored;
    EXPECT_EQ(app->MainWindow().WindowFont().pointSize(), used) << stored;
    MenuItem(app->MainWindow(), "miBeep")->trigger();
    EXPECT_EQ(SettingsFields()[6], std::to_string(used)) << stored;
  }
}

TEST_F(ApplicationTest, APositionThatIsNoNumberPutsTheWindowTopRight) {
  for (const char* position : {"x,30", "40,abc"}) {
    std::string file = kSample;
    file.replace(file.find("40,30,"), 6, std::string(position) + ",");
    auto app = Start(file);
    const TfrmMain& w = app->MainWindow();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(w.x() + w.width(), screen.x() + screen.width()) << position;
    EXPECT_EQ(w.y(), screen.y()) << position;
  }
}

TEST_F(ApplicationTest, ReloadAppliesSettingsButKeepsThePlace) {
  auto app = Start(kSample);
  app->MainWindow().move(200, 210);
  std::string file = kSample;
  file.replace(file.find("40,30,CLEAR,DARK"), 16, "500,400,CLEAR,BRIGHT");
  dir.Write("vespin.ini", Lit(file));
  EXPECT_TRUE(app->IniLoad());
  EXPECT_EQ(app->MainWindow().pos(), QPoint(200, 210));
  EXPECT_TRUE(MenuItem(app->MainWindow(), "miFigureBright")->isChecked());
}

// The whole road: the window's tick runs the real engine over the loaded tables.
TEST_F(ApplicationTest, TickAnnouncesAndListsThroughTheEngine) {
  clock.Set(2005, 4, 19, 9, 55, 0, 10);  // a Tuesday
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  QStringList shown;
  bool pausedWhileShown = false;
  ScopedModalHandler handler([&](QDialog& dialog) {
    shown << dynamic_cast<TfrmMsg&>(dialog).lMsg()->text();
    pausedWhileShown = app->State().ClockPaused;
    return int(QDialog::Accepted);
  });
  w.TimerTimer();
  EXPECT_EQ(shown, QStringList{QStringLiteral("あと5分で「定例会議」です。")});
  EXPECT_TRUE(pausedWhileShown);
  EXPECT_FALSE(app->State().ClockPaused);
  EXPECT_EQ(w.lEvent(0)->text(), QStringLiteral("定例会議"));
  EXPECT_EQ(w.lTimeN(0)->text(), QStringLiteral("10:00"));
  EXPECT_EQ(w.Timer().interval(), 60000 - 10);

  // A click on the 26th (the next Tuesday) lists it; the weekly underline marks the Tuesdays.
  shown.clear();
  CalendarView* cal = w.Calendar();
  const int cell = CellOfDay(w, 0, 26);
  QTest::mouseClick(cal, Qt::LeftButton, {}, cal->DayRect(0, cell).center());
  EXPECT_EQ(shown, QStringList{QStringLiteral("定例会議 10:00")});
  EXPECT_FALSE(cal->Sheet().cells[0][static_cast<std::size_t>(cell)].underline);
  MenuItem(w, "miWEventLine")->trigger();
  Settle();
  EXPECT_TRUE(cal->Sheet().cells[0][static_cast<std::size_t>(cell)].underline);
  EXPECT_FALSE(cal->Sheet().cells[0][static_cast<std::size_t>(cell + 1)].underline);
}

// A notice left open swallows the ticks behind it; the first tick after it is answered announces
// what fell due meanwhile, as it would after a suspend.
TEST_F(ApplicationTest, TheTickAfterANoticeLeftOpenAnnouncesWhatFellDueMeanwhile) {
  clock.Set(2005, 4, 19, 9, 59, 0, 10);  // a Tuesday
  auto app = Start(kSample);
  app->CurrentSettings().onTime = true;
  TfrmMain& w = app->MainWindow();
  QStringList shown;
  ScopedModalHandler handler([&](QDialog& dialog) {
    shown << dynamic_cast<TfrmMsg&>(dialog).lMsg()->text();
    // The user is away for 70 s; the tick of 10:00 comes and goes meanwhile.
    if (shown.size() == 1) {
      clock.Set(2005, 4, 19, 10, 0, 0, 10);
      w.TimerTimer();
      clock.Set(2005, 4, 19, 10, 0, 10, 10);
    }
    return int(QDialog::Accepted);
  });
  w.TimerTimer();
  EXPECT_EQ(shown, QStringList{QStringLiteral("あと1分で「定例会議」です。")});
  clock.Set(2005, 4, 19, 10, 1, 0, 10);
  w.TimerTimer();
  EXPECT_EQ(shown, (QStringList{QStringLiteral("あと1分で「定例会議」です。"),
                                QStringLiteral("「定例会議」の時間を過ぎています。")}));
  // Announced once: the ticks after it have nothing more to say.
  clock.Set(2005, 4, 19, 10, 2, 0, 10);
  w.TimerTimer();
  EXPECT_EQ(shown.size(), 2);
}

// Leftovers of saves killed mid-write go once the panel holds the folder: those older than its
// lock. A newer one is another writer's save under way.
TEST_F(ApplicationTest, StaleTemporaryFilesGoAtStartAndAFreshOneStays) {
  auto app = Start(kSample);
  EXPECT_EQ(app->RemoveStaleTempFiles(), 0);  // no lock held: nothing to measure by
  const auto stamp = [&](const char* name, std::time_t when) {
    const std::timespec both[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.File(name).c_str(), both, 0), 0);
  };
  dir.Write("vespin.lock", "12345\n");
  stamp("vespin.lock", 1700000000);
  dir.Write(".vespin.ini.a1B2c3", "killed");
  stamp(".vespin.ini.a1B2c3", 1700000000 - 60);
  dir.Write(".vespin.ini.d4E5f6", "under way");
  stamp(".vespin.ini.d4E5f6", 1700000000 + 1);
  EXPECT_EQ(app->RemoveStaleTempFiles(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File(".vespin.ini.a1B2c3")));
  EXPECT_TRUE(std::filesystem::exists(dir.File(".vespin.ini.d4E5f6")));
  EXPECT_EQ(dir.Read("vespin.ini"), Lit(kSample));
}

// The menu item opens the event dialog on today, with the clock paused; an event added there
// and confirmed with 実行 reaches the file and the panel's list at the tick 100 ms later.
TEST_F(ApplicationTest, EventDialogFromTheMenuReachesTheFileAndThePanel) {
  clock.Set(2005, 4, 19, 9, 0, 0, 10);  // a Tuesday
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  w.show();
  bool pausedWhileOpen = false;
  QString month;
  QString day;
  ScopedModalHandler handler([&](QDialog& dialog) {
    auto* dlg = dynamic_cast<TdlgEventSet*>(&dialog);
    if (!dlg) return int(QDialog::Accepted);  // the notices of the tick
    pausedWhileOpen = app->State().ClockPaused;
    month = dlg->mcbYMonth()->currentText();
    day = dlg->mcbYDate()->currentText();
    dlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
    dlg->meYTime()->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(dlg->meYTime(), u"1130"_s);
    dlg->meYEvent()->setFocus(Qt::TabFocusReason);
    for (QChar c : QStringLiteral("昼食会")) {
      QTest::sendKeyEvent(QTest::Click, dlg->meYEvent(), Qt::Key_unknown, QString(c), {});
    }
    QTest::mouseClick(dlg->pbYAdd(), Qt::LeftButton);
    QTest::mouseClick(dlg->pbExec(), Qt::LeftButton);
    return dlg->result();
  });
  MenuItem(w, "miEvent")->trigger();
  EXPECT_TRUE(pausedWhileOpen);
  EXPECT_EQ(month, QStringLiteral("4月"));
  EXPECT_EQ(day, QStringLiteral("19日"));
  EXPECT_FALSE(app->State().ClockPaused);
  EXPECT_EQ(w.Timer().interval(), 100);
  EXPECT_NE(dir.Read("vespin.ini").find(Lit("[年間]\r\n0419,11:30,昼食会,01,FALSE\r\n")),
            std::string::npos);
  ASSERT_NE(app->EventDialog(), nullptr);

  w.TimerTimer();
  EXPECT_EQ(w.lEvent(0)->text(), QStringLiteral("定例会議"));
  EXPECT_EQ(w.lEvent(1)->text(), QStringLiteral("昼食会"));
  EXPECT_EQ(w.lTimeN(1)->text(), QStringLiteral("11:30"));
}

// --- The file changed behind the program's back ------------------------------------------

// The sample with an event appended by hand to the weekly section and the bright scheme chosen.
std::string HandEdited() {
  std::string file = kSample;
  file.insert(file.find("[月間]"), "82,12:00,昼休み,02\r\n");
  file.replace(file.find("CLEAR,DARK"), 10, "CLEAR,BRIGHT");
  return file;
}

TEST_F(ApplicationTest, AnEditOnDiskSurvivesTheNextMenuClick) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  MenuItem(w, "mi3Month")->trigger();  // not written yet: goes with the next write
  dir.Write("vespin.ini", Lit(HandEdited()));
  MenuItem(w, "miBeep")->trigger();
  const auto fields = SettingsFields();
  EXPECT_EQ(fields[3], "BRIGHT");  // theirs
  EXPECT_EQ(fields[5], "TRUE");    // the click
  EXPECT_EQ(fields[13], "3");      // the month count chosen before
  EXPECT_NE(dir.Read("vespin.ini").find(Lit("82,12:00,昼休み,02\r\n[月間]")), std::string::npos);
  EXPECT_EQ(app->Store().week.DataRowCount(), 2);
  EXPECT_TRUE(MenuItem(w, "miFigureBright")->isChecked());
  EXPECT_TRUE(MenuItem(w, "mi3Month")->isChecked());
}

TEST_F(ApplicationTest, AnEditOnDiskAndRowsInTheDialogMakeTheUserChoose) {
  clock.Set(2005, 4, 19, 9, 0, 0, 10);
  for (const int answer : {kIdYes, kIdNo}) {
    auto app = Start(kSample);
    QStringList asked;
    ScopedModalHandler handler([&](QDialog& dialog) {
      if (auto* box = dynamic_cast<TMessageForm*>(&dialog)) {
        asked << box->YesButton()->text() + QLatin1Char('/') + box->NoButton()->text();
        return answer;
      }
      auto* dlg = dynamic_cast<TdlgEventSet*>(&dialog);
      if (!dlg) return int(QDialog::Accepted);  // a notice of the tick
      app->Store().year.InsertRow(1, YearRow("0419", "11:30", Lit("昼食会"), "01", "FALSE"));
      dir.Write("vespin.ini", Lit(HandEdited()));
      QTest::mouseClick(dlg->pbExec(), Qt::LeftButton);
      if (dlg->isVisible()) {
        // Read again: the rows are the file's, and the dialog is still open for another go.
        EXPECT_EQ(app->Store().year.DataRowCount(), 0);
        EXPECT_EQ(app->Store().week.DataRowCount(), 2);
        QTest::mouseClick(dlg->pbCancel(), Qt::LeftButton);
      }
      return dlg->result();
    });
    MenuItem(app->MainWindow(), "miEvent")->trigger();
    EXPECT_EQ(asked, QStringList{QStringLiteral("上書き/読み直す")});
    const std::string bytes = dir.Read("vespin.ini");
    if (answer == kIdYes) {
      EXPECT_NE(bytes.find(Lit("0419,11:30,昼食会,01,FALSE")), std::string::npos);
      EXPECT_EQ(bytes.find(Lit("昼休み")), std::string::npos);
    } else {
      EXPECT_EQ(bytes, Lit(HandEdited()));
    }
    EXPECT_FALSE(app->State().ClockPaused);
  }
}

TEST_F(ApplicationTest, AnEditOnDiskIsShownWhenNothingIsPending) {
  auto app = Start(kSample);
  TfrmMain& w = app->MainWindow();
  w.move(200, 210);
  dir.Write("vespin.ini", Lit(HandEdited()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return app->Store().week.DataRowCount() == 2; }, 5000));
  EXPECT_TRUE(MenuItem(w, "miFigureBright")->isChecked());
  EXPECT_EQ(w.pos(), QPoint(200, 210));
  // Nothing is written by reading.
  EXPECT_EQ(dir.Read("vespin.ini"), Lit(HandEdited()));

  // With a notice open (the clock held) the reload waits until it is closed.
  std::string again = HandEdited();
  again.replace(again.find("昼休み"), 9, "お昼");
  app->State().ClockPaused = true;
  dir.Write("vespin.ini", Lit(again));
  EXPECT_EQ(app->ReloadIfChangedOnDisk(), Application::Reload::kDeferred);
  EXPECT_EQ(sjis::ToUtf8(app->Store().week.Cell(WeekCol::kText, 2)), "昼休み");
  app->State().ClockPaused = false;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return sjis::ToUtf8(app->Store().week.Cell(WeekCol::kText, 2)) == "お昼"; }, 5000));
}

}  // namespace
}  // namespace vespin::ui
