#pragma once
// Parts of a self-drawn widget that assistive tools see as objects of their own (a calendar's
// days, a list's cells, the halves of a spin button). They are no widgets: each is an accessible
// interface that reads everything live from its owner, made on first use and kept under one id
// while the owner's interface lives, so a screen reader that holds on to a part finds it again.
//
//   owner's interface --AccessiblePartCache::Get(key)--> part --reads--> owner widget

#include <QAccessible>
#include <QAccessibleInterface>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <unordered_map>

namespace vespin::ui {

// The owner's side: one part per key.
class AccessiblePartCache final {
 public:
  AccessiblePartCache() = default;
  ~AccessiblePartCache();
  Q_DISABLE_COPY_MOVE(AccessiblePartCache)

  // The part under `key`, made by `make` the first time.
  QAccessibleInterface* Get(std::uint64_t key,
                            const std::function<QAccessibleInterface*()>& make) const;

 private:
  mutable std::unordered_map<std::uint64_t, QAccessible::Id> ids_;
};

// The part's side: what every part answers alike.
class AccessiblePart : public QAccessibleInterface {
 public:
  explicit AccessiblePart(QWidget* owner) : owner_(owner) {}

  bool isValid() const override { return !owner_.isNull(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override;
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}

 protected:
  QWidget* Owner() const { return owner_.data(); }
  // A rectangle of the owner in screen coordinates; empty stays empty.
  QRect OnScreen(const QRect& local) const;

 private:
  QPointer<QWidget> owner_;
};

// Child `index` of a widget's accessible interface, or nullptr.
QAccessibleInterface* AccessibleChild(QWidget* owner, int index);

// Tells assistive tools (when one listens) that a part took the focus and is the selection now.
void NotifyPartFocus(QAccessibleInterface* part);
// Tells them that a self-drawn table's contents were replaced as a whole.
void NotifyTableReset(QWidget* owner);

}  // namespace vespin::ui
