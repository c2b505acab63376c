// The three event lists with typical contents.

#include <QDir>
#include <QImage>
#include <QWidget>
#include <span>
#include <string>
#include <vector>

#include "Gallery.h"
#include "controls/CGridBase.h"
#include "events/EventStore.h"
#include "text/Sjis.h"

namespace vespin::gallery {
namespace {

using ui::CGridBase;

using Row = std::vector<const char*>;

struct ListPicture {
  const char* name;  // of the picture
  std::span<const ColumnSpec> columns;
  QColor page;
  int sortColumn;  // -1: the list keeps its order
  int selected;
  std::vector<Row> rows;
};

const ListPicture kLists[] = {
    {"grid-yearly",
     YearColumns(),
     QColor(255, 255, 223),
     YearCol::kSortKey,
     4,
     {
         {"1月", "1日", "00:00", "元日", "起動時", "FALSE", "0101", "01", "", "0101 00:00"},
         {"2月", "14日", "12:00", "バレンタイン", "1日前", "FALSE", "0214", "13", "", "0214 12:00"},
         {"3月", "3日", "18:00", "ひな祭り", "1時間前", "FALSE", "0303", "08", "", "0303 18:00"},
         {"4月", "18日", "10:00", "母の誕生日", "3日前", "FALSE", "0418", "14", "x", "0418 10:00"},
         {"5月", "5日", "09:00", "こどもの日", "起動時", "FALSE", "0505", "01", "", "0505 09:00"},
         {"6月", "30日", "17:00", "上期締め", "1日前", "TRUE", "0630", "13", "", "0630 17:00"},
         {"7月", "7日", "20:00", "七夕", "30分前", "FALSE", "0707", "07", "", "0707 20:00"},
         {"8月", "13日", "10:00", "帰省（新幹線の指定席を予約）", "7日前", "TRUE", "0813", "15", "",
          "0813 10:00"},
         {"10月", "1日", "09:00", "衣替え", "起動時", "FALSE", "1001", "01", "", "1001 09:00"},
         {"12月", "24日", "19:00", "クリスマス会", "2時間前", "TRUE", "1224", "09", "",
          "1224 19:00"},
     }},
    {"grid-monthly",
     MonthColumns(),
     QColor(224, 255, 240),
     MonthCol::kSortKey,
     2,
     {
         {"毎月", "1日", "09:00", "月初報告", "1時間前", "101", "08", "", "101 09:00"},
         {"末日", "", "23:00", "バックアップ", "15分前", "400", "06", "", "400 23:00"},
         {"毎月", "15日", "12:00", "家賃振込", "1日前", "115", "13", "", "115 12:00"},
         {"最初の", "月曜", "09:30", "定例会議", "10分前", "202", "05", "", "202 09:30"},
         {"毎月", "25日", "10:00", "給料日", "起動時", "125", "01", "", "125 10:00"},
         {"最初の", "平日", "10:00", "請求書発行", "1時間前", "208", "08", "", "208 10:00"},
         {"最後の", "金曜", "18:00", "月末の打ち上げ", "30分前", "306", "07", "", "306 18:00"},
         {"最後の", "平日", "17:00", "経費精算", "3時間前", "308", "10", "", "308 17:00"},
         {"毎月", "20日", "13:00", "通院", "1時間前", "120", "08", "", "120 13:00"},
     }},
    {"grid-weekly",
     WeekColumns(),
     QColor(239, 255, 255),
     -1,
     7,
     {
         {"毎週", "月曜", "09:00", "朝会", "5分前", "12", "04", ""},
         {"毎週", "水曜", "19:00", "英会話", "30分前", "14", "07", ""},
         {"第１", "火曜", "10:00", "部内会議", "10分前", "23", "05", ""},
         {"第２・第４", "土曜", "08:00", "資源ごみ", "起動時", "77", "01", ""},
         {"平日", "", "12:00", "昼休み", "1分前", "82", "02", "x"},
         {"土日", "", "07:00", "ジョギング", "15分前", "85", "06", ""},
         {"毎日", "", "22:00", "日記", "3分前", "81", "03", ""},
         {"第３", "金曜", "15:00", "週報提出", "1時間前", "45", "08", ""},
         {"月水金", "", "07:30", "ストレッチ", "起動時", "83", "01", ""},
     }},
};

}  // namespace

int RenderEventLists(const QDir& dir) {
  int failed = 0;
  for (const ListPicture& g : kLists) {
    EventTable table(static_cast<int>(g.columns.size()), kEventListLines);
    QWidget page;
    QPalette pal = page.palette();
    pal.setColor(QPalette::Window, g.page);
    page.setPalette(pal);
    page.setAutoFillBackground(true);
    CGridBase grid(&table, &page);
    grid.move(8, 8);
    for (std::size_t c = 0; c < g.columns.size(); ++c) {
      grid.DefineColumn(static_cast<int>(c), sjis::Lit(g.columns[c].titleUtf8), g.columns[c].width,
                        g.columns[c].align);
    }
    grid.ResetLayout();
    for (const Row& row : g.rows) {
      std::vector<std::string> values;
      for (const char* text : row) values.push_back(sjis::Lit(text));
      table.InsertRow(table.DataRowCount() + 1, std::move(values));
    }
    if (g.sortColumn >= 0) table.SortRows(g.sortColumn, 1);
    table.SelectRow(g.selected);
    page.resize(grid.width() + 16, grid.height() + 16);
    if (!Save(page.grab().toImage(), dir, QString::fromUtf8(g.name))) ++failed;
  }
  return failed;
}

}  // namespace vespin::gallery
