#pragma once

// What the associations dialog and the "/uninstall" command line do, without
// a window.

#include "platform/desktop_associations.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Per row of the format table: whether the viewer opens the format. The
// registry must associate it, and the desktop must still open every MIME type
// of its extensions with the viewer's entry: a default the user chose in the
// desktop's settings after the viewer took a type wins.
std::vector<bool> FormatsOpenedByViewer();

// Restores all 36 formats in table order, then sends the notice once.
void Uninstall();

// OK of the dialog: each (format name, checked) in order is associated or
// restored, then the notice goes out once.
void ApplyAssociations(const std::vector<std::pair<QString, bool>>& choices);

// The dialog's note on what OK does on this desktop, naming the desktop (""
// when unknown) and the list it writes, or the desktop-specific list that
// keeps its own default for some of the types.
QString IntegrationNoticeText(const QString& desktopName, const QString& listPath,
                              const QList<TDesktopOverride>& overrides);
// The same for the running desktop and the current lists.
QString CurrentIntegrationNoticeText();
