#pragma once

#include "platform/application_title.h"
#include "viewer/free_bitmap.h"

#include <QString>

// FreeImage's load flag that turns JPEG images upright by their EXIF
// orientation; the same value goes to every format.
int LoadFlags(bool exifRotation);

// The format to decode path with: identified by content first, then by name;
// FIF_UNKNOWN when neither tells a format FreeImage can read. A path that is
// not a regular file (a folder, a fifo, a device) is never opened: only its
// name is looked at.
FREE_IMAGE_FORMAT IdentifyReadableFormat(const QString& path);

// Decodes path into bitmap. When no readable format is found the bitmap keeps
// its content; otherwise it is replaced by the decoded image, which is empty
// when decoding fails. Images deeper than 32 bits per pixel are converted to
// 32 bits when FreeImage can. True when a readable format was found.
bool LoadImageFile(TFreeBitmap& bitmap, const QString& path, bool exifRotation);

// The part of path after its last '/'.
QString FileNamePart(const QString& path);
// The main window's caption for a loaded file.
QString WindowCaption(const QString& path, unsigned width, unsigned height);
// The "Original: WxH" line of the resize menu.
QString ResInfoCaption(unsigned width, unsigned height);
