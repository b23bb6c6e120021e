#pragma once

#include <QString>

// True when path names a regular file, following symbolic links. Never opens
// the file, so a fifo or a device cannot block the caller.
bool IsRegularFile(const QString& path);
