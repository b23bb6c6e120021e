#pragma once

// The notice that file associations changed: what the shell's notice does on
// Windows, carrying the registry's classes to the desktop (desktop entry and
// default applications, platform/desktop_associations.h).

#include "folder/extra_formats.h"
#include "platform/desktop_associations.h"
#include "platform/mime_types.h"

#include <functional>

// The MIME types of every extension of the listed formats (the 36, then the
// extra ones with the aliases their rows declare), in table order, each once:
// what the viewer's desktop entries declare, the user's and the installed
// one alike.
QStringList SupportedMimeTypes(const TMimePackage& package);

// The MIME types of every extension of format, each once.
QStringList FormatMimeTypes(const ftype& format, const TMimePackage& package);

// What the registry now says, in desktop terms: the MIME types of every
// extension of the listed formats (declared by the entry), those whose extensions
// are all associated (held), and the program of the open command.
TDesktopAssociations DesktopStateFromRegistry(const TMimePackage& package);

// Reconciles the desktop with the registry and refreshes the desktop's caches.
// The package is the one beside the running executable.
TDesktopSyncResult NotifyAssociationsChanged();

// When set, runs instead of NotifyAssociationsChanged's work (tests count the
// notices through it); the notice then counts as done.
std::function<void()>& AssociationNoticeHook();
// The notice as callers send it: the hook when set, the real one otherwise.
TDesktopSyncResult SendAssociationNotice();
