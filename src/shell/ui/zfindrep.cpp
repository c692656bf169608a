#include "shell/ui/zfindrep.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

#include "host/messages.h"

FindState& LastFind() {
  static FindState s;
  return s;
}

namespace {
QTextDocument::FindFlags Flags(const FindState& s) {
  QTextDocument::FindFlags f;
  if (s.matchCase) f |= QTextDocument::FindCaseSensitively;
  if (s.wholeWord) f |= QTextDocument::FindWholeWords;
  if (s.backward) f |= QTextDocument::FindBackward;
  return f;
}

bool SelectionMatches(QPlainTextEdit* edit, const FindState& s) {
  const QString sel = edit->textCursor().selectedText();
  return !sel.isEmpty() &&
         sel.compare(s.what, s.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}
}  // namespace

bool FindInEdit(QPlainTextEdit* edit, const FindState& s) {
  if (!edit || s.what.isEmpty()) return false;
  QTextDocument* doc = edit->document();
  QTextCursor found = doc->find(s.what, edit->textCursor(), Flags(s));
  if (found.isNull()) {  // wrap around once
    QTextCursor start(doc);
    if (s.backward) start.movePosition(QTextCursor::End);
    found = doc->find(s.what, start, Flags(s));
  }
  if (found.isNull()) return false;
  edit->setTextCursor(found);
  return true;
}

bool ReplaceInEdit(QPlainTextEdit* edit, const FindState& s) {
  if (!edit || s.what.isEmpty()) return false;
  if (SelectionMatches(edit, s)) edit->textCursor().insertText(s.with);
  return FindInEdit(edit, s);
}

int ReplaceAllInEdit(QPlainTextEdit* edit, const FindState& s) {
  if (!edit || s.what.isEmpty()) return 0;
  FindState fwd = s;
  fwd.backward = false;
  QTextDocument* doc = edit->document();
  QTextCursor edit1(doc);
  edit1.beginEditBlock();
  int count = 0;
  QTextCursor at(doc);
  for (;;) {
    QTextCursor found = doc->find(fwd.what, at, Flags(fwd));
    if (found.isNull()) break;
    found.insertText(fwd.with);
    at = found;  // continue after the replacement, so a replacement never matches again
    ++count;
  }
  edit1.endEditBlock();
  return count;
}

TZarnsFindDlg::TZarnsFindDlg(QWidget* parent, bool replace, std::function<QPlainTextEdit*()> editor,
                             MessageHost& messages)
    : QDialog(parent), editor_(std::move(editor)), messages_(messages) {
  auto* grid = new QGridLayout(this);
  what_ = new QLineEdit(LastFind().what, this);
  with_ = new QLineEdit(LastFind().with, this);
  withLabel_ = new QLabel(QStringLiteral("Re&place with:"), this);
  withLabel_->setBuddy(with_);
  auto* whatLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
  whatLabel->setBuddy(what_);
  case_ = new QCheckBox(QStringLiteral("Match &case"), this);
  word_ = new QCheckBox(QStringLiteral("Match &whole word only"), this);
  up_ = new QCheckBox(QStringLiteral("Search &up"), this);
  case_->setChecked(LastFind().matchCase);
  word_->setChecked(LastFind().wholeWord);
  auto* next = new QPushButton(QStringLiteral("&Find Next"), this);
  auto* rep = new QPushButton(QStringLiteral("&Replace"), this);
  auto* all = new QPushButton(QStringLiteral("Replace &All"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  replaceBtn_ = rep;
  replaceAllBtn_ = all;
  next->setDefault(true);
  grid->addWidget(whatLabel, 0, 0);
  grid->addWidget(what_, 0, 1);
  grid->addWidget(next, 0, 2);
  grid->addWidget(withLabel_, 1, 0);
  grid->addWidget(with_, 1, 1);
  grid->addWidget(rep, 1, 2);
  grid->addWidget(case_, 2, 0, 1, 2);
  grid->addWidget(all, 2, 2);
  grid->addWidget(word_, 3, 0, 1, 2);
  grid->addWidget(cancel, 3, 2);
  grid->addWidget(up_, 4, 0, 1, 2);
  connect(next, &QPushButton::clicked, this, &TZarnsFindDlg::FindNext);
  connect(rep, &QPushButton::clicked, this, &TZarnsFindDlg::Replace);
  connect(all, &QPushButton::clicked, this, &TZarnsFindDlg::ReplaceAll);
  connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
  SetReplaceMode(replace);
}

void TZarnsFindDlg::SetReplaceMode(bool replace) {
  setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
  with_->setVisible(replace);
  withLabel_->setVisible(replace);
  replaceBtn_->setVisible(replace);
  replaceAllBtn_->setVisible(replace);
  up_->setVisible(!replace);
  if (!replace) up_->setChecked(LastFind().backward);
  what_->selectAll();
  what_->setFocus();
}

FindState TZarnsFindDlg::Read() const {
  FindState s;
  s.what = what_->text();
  s.with = with_->text();
  s.matchCase = case_->isChecked();
  s.wholeWord = word_->isChecked();
  s.backward = up_->isVisible() && up_->isChecked();
  LastFind() = s;
  return s;
}

void TZarnsFindDlg::Report(bool found) {
  if (!found)
    messages_.MessageBox("Cannot find \"" + Read().what.toStdString() + "\".", "Zarns",
                         MB_OK | MB_ICONINFORMATION);
}

void TZarnsFindDlg::FindNext() { Report(FindInEdit(editor_ ? editor_() : nullptr, Read())); }

void TZarnsFindDlg::Replace() { Report(ReplaceInEdit(editor_ ? editor_() : nullptr, Read())); }

void TZarnsFindDlg::ReplaceAll() {
  const int n = ReplaceAllInEdit(editor_ ? editor_() : nullptr, Read());
  if (n == 0) Report(false);
}
