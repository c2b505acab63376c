// The validating edits, the combo boxes and every kind of message box.

#include <QImage>
#include <QPushButton>
#include <QWidget>
#include <string>

#include "Gallery.h"
#include "QtWidgetTestSupport.h"
#include "controls/CMemMultiCombo.h"
#include "controls/CMultiCombo.h"
#include "controls/CMultiEdit.h"
#include "controls/MessageBox.h"
#include "controls/SjisLimit.h"
#include "text/Sjis.h"

namespace vespin::gallery {

using namespace Qt::StringLiterals;
using namespace ui;
using sjis::Lit;

int RenderControls(const QDir& dir) {
  QWidget form;
  form.setFixedSize(520, 170);
  QPalette pal = form.palette();
  pal.setColor(QPalette::Window, QColor(192, 192, 192));
  form.setPalette(pal);
  form.setAutoFillBackground(true);

  auto* time = new TMultiEdit(&form);
  time->SetEditType(etNone);
  time->SetMaxLength(5);
  time->setGeometry(8, 8, 48, 24);
  time->SetText(u"09:30"_s);
  auto* text = new TMultiEdit(&form);
  text->SetEditType(etNone);
  text->SetMaxLength(32);
  text->setGeometry(56, 8, 168, 24);
  text->SetSjisText(Lit("会議（第２会議室）"));
  auto* amount = new TMultiEdit(&form);
  amount->SetEditType(etNumeric);
  amount->SetAlignment(taRightJustify);
  amount->setGeometry(232, 8, 120, 24);
  amount->SetText(u"1,234,567"_s);
  auto* ym = new TMultiEdit(&form);
  ym->SetEditType(etCalendar);
  ym->SetAlignment(taCenter);
  ym->setGeometry(360, 8, 150, 26);
  ym->SetText(u"2005-04"_s);
  ym->SetEditable(false);

  auto* type = new TMemMultiCombo(&form);
  type->SetStyle(csDropDownList);
  type->setGeometry(8, 48, 105, 24);
  for (const char* name : {"毎日", "毎週", "第１", "第２"}) type->AddCodeItem("", Lit(name));
  type->SelectName(Lit("第２"));
  auto* alarm = new TMemMultiCombo(&form);
  alarm->SetStyle(csDropDownList);
  alarm->setGeometry(120, 48, 96, 24);
  alarm->AddCodeItem("04", Lit("5分前"));
  auto* typed = new TMultiCombo(&form);
  typed->SetComboBoxType(ctCalendar);
  typed->setGeometry(232, 48, 140, 24);
  typed->SetText(u"2005/04/18"_s);
  auto* exec = new QPushButton(QStringLiteral("実行"), &form);
  exec->setGeometry(360, 120, 74, 32);
  auto* cancel = new QPushButton(QStringLiteral("取消"), &form);
  cancel->setGeometry(440, 120, 74, 32);

  form.show();
  return Save(form.grab().toImage(), dir, u"controls"_s) ? 0 : 1;
}

int RenderMessageBoxes(const QDir& dir) {
  std::string many = "E ";
  for (int i = 1; i <= 41; ++i) many += (i > 1 ? "\r\n" : "") + Lit("行 ") + std::to_string(i);
  const struct {
    const char* name;
    std::string msg;
  } boxes[] = {
      {"box-C", Lit("C 変更を保存しますか？")},
      {"box-A", Lit("A 同じ時刻のイベントがあります。")},
      {"box-E", Lit("E 日付が不正です。")},
      {"box-E-2lines", Lit("E リストに存在しません。\r\nリストを表示し選択してください。")},
      {"box-E-3lines", Lit("E 一行目\r\n二行目\r\n三行目")},
      {"box-E-41lines", many},
      {"box-I", Lit("I 保存しました。")},
      {"box-S", Lit("S システムエラーが発生しました。")},
      {"box-other", Lit("X 種類のない文字")},
      {"box-unusable", UnusableCharacterMessage()},
  };
  int failed = 0;
  for (const auto& b : boxes) {
    TMessageForm form;
    form.Prepare(b.msg);
    form.show();
    const QImage framed = test::WithCaption(form.grab().toImage(), form.windowTitle());
    if (!Save(framed, dir, QString::fromUtf8(b.name))) ++failed;
  }
  return failed;
}

}  // namespace vespin::gallery
