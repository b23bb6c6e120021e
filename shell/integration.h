#pragma once

// What the associations dialog and the "/uninstall" command line do, without
// a window.

#include "platform/desktop_associations.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Per row of ListedFormats (the 36, then the extra ones): whether the viewer
// opens the format. The
// registry must associate it, and the desktop must still open every MIME type
// of its extensions with the viewer's entry: a default the user chose in the
// desktop's settings after the viewer took a type wins.
std::vector<bool> FormatsOpenedByViewer();

// Restores every listed format in table order (the 36, then the extra
// ones), then sends the notice once.
// Returns an empty text when everything was written, else what to tell the
// user (see AssociationsFailureText).
QString Uninstall();

// OK of the dialog: each (format name, checked) in order is associated or
// restored, then the notice goes out once. Returns as Uninstall does.
QString ApplyAssociations(const std::vector<std::pair<QString, bool>>& choices);

// What to tell the user when the associations could not all be written: the
// registry file (bRegistry false) or what the notice could not write.
QString AssociationsFailureText(bool bRegistry, const TDesktopSyncResult& notice);

// The dialog's note on what OK does on this desktop, naming the desktop (""
// when unknown) and the list it writes, or the desktop-specific list that
// keeps its own default for some of the types.
QString IntegrationNoticeText(const QString& desktopName, const QString& listPath,
                              const QList<TDesktopOverride>& overrides);
// The same for the running desktop and the current lists.
QString CurrentIntegrationNoticeText();
