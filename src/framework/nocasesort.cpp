#include "framework/nocasesort.h"

#include "framework/qtstrings.h"
#include "platform/psort.h"

namespace fw {

bool NoCaseListItem::operator<(const QListWidgetItem& other) const {
  return plat::NoCaseLess(FromQt(text()), FromQt(other.text()));
}

int AddSortedNoCase(QComboBox* combo, const QString& text, const QVariant& data) {
  const std::string t = FromQt(text);
  int at = combo->count();
  // After every entry that does not come after it: equal names keep the
  // order they were added in.
  for (int i = 0; i < combo->count(); ++i)
    if (plat::NoCaseLess(t, FromQt(combo->itemText(i)))) {
      at = i;
      break;
    }
  combo->insertItem(at, text, data);
  return at;
}

}  // namespace fw
