#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// The file a drop hands to the viewer: the first of urls that names a file of
// this machine by an absolute path ("file:///..." or "file://localhost/...");
// empty when none does. Web addresses, other schemes, files of other hosts
// and relative file URLs are not dropped files.
QString FirstDroppedFile(const QList<QUrl>& urls);
