#include "controls/SjisLimit.h"

#include <QLineEdit>
#include <algorithm>
#include <string>

#include "UiText.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

qsizetype SjisBytes(const QString& text) {
  return static_cast<qsizetype>(ToSjisLossy(text).size());
}

}  // namespace

SjisLimitValidator::SjisLimitValidator(QLineEdit& edit)
    : QValidator(&edit), lastText_(edit.text()) {
  connect(&edit, &QLineEdit::textChanged, this, [this](const QString& text) { lastText_ = text; });
}

QValidator::State SjisLimitValidator::validate(QString& input, int& pos) const {
  if (userDepth_ == 0) return Acceptable;

  const QString& before = lastText_;
  const qsizetype shorter = std::min(before.size(), input.size());
  qsizetype prefix = 0;
  while (prefix < shorter && before[prefix] == input[prefix]) ++prefix;
  qsizetype suffix = 0;
  while (suffix < shorter - prefix &&
         before[before.size() - 1 - suffix] == input[input.size() - 1 - suffix]) {
    ++suffix;
  }
  // Keep a surrogate pair together.
  if (prefix > 0 && input[prefix - 1].isHighSurrogate()) --prefix;
  if (suffix > 0 && input[input.size() - suffix].isLowSurrogate()) --suffix;

  const QString inserted = input.mid(prefix, input.size() - prefix - suffix);
  const std::optional<std::string> insertedSjis = ToSjis(inserted);
  if (!insertedSjis) {
    QMetaObject::invokeMethod(
        const_cast<SjisLimitValidator*>(this),
        [self = const_cast<SjisLimitValidator*>(this)] { emit self->Refused(); },
        Qt::QueuedConnection);
    return Invalid;
  }
  if (maxBytes_ == 0) return Acceptable;
  const qsizetype total = SjisBytes(input);
  // Deleting from a text the program made longer than the limit is always allowed.
  if (total <= maxBytes_ || total <= SjisBytes(before)) return Acceptable;

  const qsizetype kept = total - static_cast<qsizetype>(insertedSjis->size());
  if (kept >= maxBytes_) return Invalid;
  const QString fitting =
      FromSjis(sjis::TruncateBytes(*insertedSjis, static_cast<std::size_t>(maxBytes_ - kept)));
  if (fitting.isEmpty()) return Invalid;
  input = input.left(prefix) + fitting + input.right(suffix);
  pos = static_cast<int>(prefix + fitting.size());
  return Acceptable;
}

std::string UnusableCharacterMessage() {
  return sjis::Lit("E この文字は使えません。");
}

}  // namespace vespin::ui
