// Dialog layouts are given in dialog units of a 9-point Arial face; these
// helpers turn them into pixels for the dialog's own font so the boxes keep
// their proportions on any screen.
#pragma once
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QWidget>

namespace zdlg {

// The face the shell's dialogs use.
inline QFont DialogFont() {
  QFont f(QStringLiteral("Arial"), 9);
  f.setStyleHint(QFont::SansSerif);
  return f;
}

// Converts a rectangle in dialog units to pixels for `w`'s font:
// a horizontal unit is a quarter of the average character width,
// a vertical unit an eighth of the line height.
inline QRect Units(const QWidget* w, int x, int y, int cx, int cy) {
  const QFontMetrics fm(w->font());
  const int avg =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
      52;
  const int h = fm.height();
  auto hx = [&](int v) { return (v * avg + 2) / 4; };
  auto vy = [&](int v) { return (v * h + 4) / 8; };
  return QRect(hx(x), vy(y), hx(cx), vy(cy));
}

// Names a control by its numeric id so tests and help can find it.
template <class W>
W* Id(W* w, int id) {
  w->setObjectName(QString::number(id));
  return w;
}

}  // namespace zdlg
