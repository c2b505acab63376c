#include "controls/ComboAccessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QLineEdit>

#include "controls/CMultiCombo.h"

namespace vespin::ui {
namespace {

class ComboAccessible final : public QAccessibleWidget {
 public:
  explicit ComboAccessible(TMultiCombo* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        return combo()->accessibleName().isEmpty() ? combo()->currentText()
                                                   : combo()->accessibleName();
      case QAccessible::Value:
        return combo()->currentText();
      default:
        return QAccessibleWidget::text(t);
    }
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = combo()->view()->isVisible();
    s.editable = combo()->isEditable();
    return s;
  }
  // The drop-down list, and the typing field of a combo that has one.
  int childCount() const override { return EditField() ? 2 : 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(combo()->view());
    if (index == 1) return QAccessible::queryAccessibleInterface(EditField());
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (!child) return -1;
    if (child->object() == combo()->view()) return 0;
    if (EditField() && child->object() == EditField()) return 1;
    return -1;
  }

  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& name) override {
    if (name != showMenuAction() && name != pressAction()) return;
    if (combo()->view()->isVisible()) {
      combo()->hidePopup();
    } else {
      combo()->showPopup();
    }
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  TMultiCombo* combo() const { return static_cast<TMultiCombo*>(widget()); }
  QLineEdit* EditField() const { return combo()->isEditable() ? combo()->lineEdit() : nullptr; }
};

QAccessibleInterface* ComboFactory(const QString&, QObject* object) {
  if (auto* combo = qobject_cast<TMultiCombo*>(object)) return new ComboAccessible(combo);
  return nullptr;
}

}  // namespace

void InstallComboAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&ComboFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace vespin::ui
