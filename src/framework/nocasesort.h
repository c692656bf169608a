// List and combo box entries in the program's one reading order
// (plat::NoCaseLess): "apple.txt", "Both.txt", "both.txt", whatever the
// order they were added in.
#pragma once
#include <QComboBox>
#include <QListWidgetItem>
#include <QVariant>

namespace fw {

// A list entry that a sorting QListWidget orders by NoCaseLess instead of
// Qt's case-sensitive text comparison.
class NoCaseListItem : public QListWidgetItem {
 public:
  using QListWidgetItem::QListWidgetItem;
  bool operator<(const QListWidgetItem& other) const override;
};

// Inserts `text` (with `data` as its user data) where NoCaseLess puts it
// among the combo's entries; returns its index.
int AddSortedNoCase(QComboBox* combo, const QString& text, const QVariant& data = {});

}  // namespace fw
