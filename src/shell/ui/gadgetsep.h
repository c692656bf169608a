// A tool-bar separator of a given width: a thin etched line in its middle.
#pragma once
#include <QPainter>
#include <QWidget>

class GadgetSeparator : public QWidget {
 public:
  GadgetSeparator(int size, QWidget* parent) : QWidget(parent), size_(size) {
    setFixedWidth(size);
    setObjectName(QStringLiteral("separator%1").arg(size));
  }
  int Size() const { return size_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const int x = width() / 2;
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(x, 3, x, height() - 4);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(x + 1, 3, x + 1, height() - 4);
  }

 private:
  int size_;
};
