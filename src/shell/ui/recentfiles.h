// The recently used files: the list in "Zarns.ini" (section MRU: Count and
// File1..File8, the newest first) and its entries on the File menu.
#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class QAction;
class QMenu;

class RecentFiles : public QObject {
  Q_OBJECT
 public:
  static constexpr int kMax = 8;
  // Names longer than this are cut when read back.
  static constexpr int kMaxPath = 260;

  // The list kept in `iniPath`; empty: "Zarns.ini" of the data directory,
  // looked up at each use.
  explicit RecentFiles(QString iniPath = {}, QObject* parent = nullptr);

  // The names, newest first: at most kMax, no repeats, no empty ones,
  // whatever the file holds.
  QStringList Files() const;
  // Puts `path` first (once); the oldest beyond kMax drop off. The menu follows.
  void Add(const QString& path);

  // Lists the names on `menu` before `anchor` (a separator that shows only
  // while there are names); choosing one emits Chosen with its index.
  void AttachMenu(QMenu* menu, QAction* anchor);
  // Builds the menu entries again from the file.
  void RebuildMenu();

 signals:
  // Entry `index` of the menu was chosen (0 = the newest).
  void Chosen(int index);

 private:
  QString IniPath() const;

  QString iniPath_;
  QMenu* menu_ = nullptr;
  QAction* anchor_ = nullptr;
  std::vector<QAction*> actions_;
};
