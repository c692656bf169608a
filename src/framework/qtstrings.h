// Texts between the core (bytes, mostly ASCII) and Qt.
#pragma once
#include <QString>
#include <string>

// The bytes as UTF-8 when they are valid UTF-8, else one character per byte
// (Latin-1), so that no byte is lost on the way into a widget.
QString ToQt(const std::string& s);
// A widget's text as UTF-8 bytes.
std::string FromQt(const QString& s);
