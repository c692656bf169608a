#include "shell/ui/dropfiles.h"

#include <QMimeData>
#include <QUrl>

QStringList DroppedFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& u : data->urls())
    if (u.isLocalFile()) paths << u.toLocalFile();
  return paths;
}
