#include "AccessibleParts.h"

#include <QWindow>

namespace vespin::ui {

AccessiblePartCache::~AccessiblePartCache() {
  for (const auto& [key, id] : ids_) QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* AccessiblePartCache::Get(
    std::uint64_t key, const std::function<QAccessibleInterface*()>& make) const {
  if (auto it = ids_.find(key); it != ids_.end()) {
    if (QAccessibleInterface* part = QAccessible::accessibleInterface(it->second)) return part;
    ids_.erase(it);
  }
  QAccessibleInterface* part = make();
  if (!part) return nullptr;
  ids_.emplace(key, QAccessible::registerAccessibleInterface(part));
  return part;
}

QWindow* AccessiblePart::window() const {
  QWidget* owner = Owner();
  return owner ? owner->window()->windowHandle() : nullptr;
}

QAccessibleInterface* AccessiblePart::parent() const {
  return QAccessible::queryAccessibleInterface(Owner());
}

QRect AccessiblePart::OnScreen(const QRect& local) const {
  QWidget* owner = Owner();
  if (!owner || local.isEmpty()) return {};
  return QRect(owner->mapToGlobal(local.topLeft()), local.size());
}

QAccessibleInterface* AccessibleChild(QWidget* owner, int index) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(owner);
  return iface ? iface->child(index) : nullptr;
}

void NotifyPartFocus(QAccessibleInterface* part) {
  if (!part || !QAccessible::isActive()) return;
  QAccessibleEvent focus(part, QAccessible::Focus);
  QAccessible::updateAccessibility(&focus);
  QAccessibleEvent selection(part, QAccessible::Selection);
  QAccessible::updateAccessibility(&selection);
}

void NotifyTableReset(QWidget* owner) {
  if (!owner || !QAccessible::isActive()) return;
  QAccessibleTableModelChangeEvent reset(owner, QAccessibleTableModelChangeEvent::ModelReset);
  QAccessible::updateAccessibility(&reset);
}

}  // namespace vespin::ui
