// Dialog layouts are given in dialog units of the dialogs' face, Arial 9;
// these helpers turn them into pixels. The scale is fixed rather than
// measured from the installed fonts, so a dialog has the same size on every
// machine and its layout can be checked exactly.
#pragma once
#include <QFont>
#include <QRect>
#include <QString>

namespace dlgunits {

// Horizontal: a quarter of the average character width.
constexpr int X(int du) { return du * 3 / 2; }
// Vertical: an eighth of the character height.
constexpr int Y(int du) { return du * 13 / 8; }
// A rectangle given in dialog units, in pixels.
inline QRect Rect(int x, int y, int cx, int cy) { return QRect(X(x), Y(y), X(cx), Y(cy)); }

// The face the dialogs use (any sans face stands in where Arial is missing).
inline QFont DialogFont() {
  QFont f(QStringLiteral("Arial"), 9);
  f.setStyleHint(QFont::SansSerif);
  return f;
}

// Names a control by its numeric id, so that tests and help can find it.
template <class W>
W* Id(W* w, int id) {
  w->setObjectName(QString::number(id));
  return w;
}

}  // namespace dlgunits
