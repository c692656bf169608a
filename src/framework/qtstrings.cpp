#include "framework/qtstrings.h"

#include <QByteArray>
#include <QStringDecoder>

QString ToQt(const std::string& s) {
  const QByteArray bytes(s.data(), static_cast<qsizetype>(s.size()));
  QStringDecoder dec(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString out = dec(bytes);
  if (dec.hasError()) return QString::fromLatin1(bytes);
  return out;
}

std::string FromQt(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}
