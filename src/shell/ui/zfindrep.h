// Find and Replace for the editor windows: one modeless dialog shared by all
// document windows, acting on the active one; F3 repeats the last search.
#pragma once
#include <QDialog>
#include <QTextDocument>
#include <functional>

class QLineEdit;
class QCheckBox;
class QPlainTextEdit;
class QLabel;
class MessageHost;

struct FindState {
  QString what;
  QString with;
  bool matchCase = false;
  bool wholeWord = false;
  bool backward = false;
};

// The last search, for Find Next.
FindState& LastFind();
// Finds the next match of `s` in `edit` from the caret, wrapping at the end
// once; selects it and returns true when found.
bool FindInEdit(QPlainTextEdit* edit, const FindState& s);
// Replaces the selection when it matches and finds the next match.
bool ReplaceInEdit(QPlainTextEdit* edit, const FindState& s);
// Replaces every match in the document (one undo step); returns the count.
int ReplaceAllInEdit(QPlainTextEdit* edit, const FindState& s);

class TZarnsFindDlg : public QDialog {
  Q_OBJECT
 public:
  // `editor` answers the editor the dialog acts on (the active view);
  // "Cannot find" goes to `messages`, which must outlive the dialog.
  TZarnsFindDlg(QWidget* parent, bool replace, std::function<QPlainTextEdit*()> editor,
                MessageHost& messages);
  void SetReplaceMode(bool replace);

 private:
  void FindNext();
  void Replace();
  void ReplaceAll();
  FindState Read() const;
  void Report(bool found);

  std::function<QPlainTextEdit*()> editor_;
  MessageHost& messages_;
  QLineEdit* what_;
  QLineEdit* with_;
  QLabel* withLabel_;
  QCheckBox* case_;
  QCheckBox* word_;
  QCheckBox* up_;
  QWidget* replaceBtn_;
  QWidget* replaceAllBtn_;
};
