// What a drag and drop carries, for the windows that take dropped files.
#pragma once
#include <QStringList>

class QMimeData;

// The local files of a drop, in order (other URLs are left out).
QStringList DroppedFiles(const QMimeData* data);
