#pragma once

#include "decoder/decoder_client.h"
#include "edit/picture_facts.h"
#include "platform/application_title.h"
#include "platform/free_bitmap.h"

#include <QString>

// Large JPEG files are first decoded reduced to about this size, to show
// while the full decode is made.
inline constexpr unsigned PreviewSize = 1000;

// FreeImage's load flag that turns JPEG images upright by their EXIF
// orientation; the same value goes to every format.
int LoadFlags(bool exifRotation);

// The format to decode path with: identified by content first, then by name;
// FIF_UNKNOWN when neither tells a format FreeImage can read. A path that is
// not a regular file (a folder, a fifo, a device) is never opened: only its
// name is looked at. The file is read by the decoding worker, never here.
FREE_IMAGE_FORMAT IdentifyReadableFormat(const QString& path);

// Decodes path into bitmap, through the decoding worker, and waits for it.
// When no readable format is found the bitmap keeps its content; otherwise it
// is replaced by the decoded image, which is empty when decoding fails (or
// the worker crashed, or the decode was cancelled or overran its time).
// Images deeper than 32 bits per pixel are converted to 32 bits when
// FreeImage can. True when a readable format was found.
bool LoadImageFile(TFreeBitmap& bitmap, const QString& path, bool exifRotation);

// The last step of a load: a finished load's answer into bitmap, as above.
// previous, when given, receives the bitmap replaced, for the caller to
// release when it suits it; decoded, what the decode held before any
// conversion for the screen (the file's own depth, type and metadata).
bool ApplyLoadResult(TFreeBitmap& bitmap, decoder::TLoadResult result, TFreeBitmap* previous = nullptr,
                     TPictureFacts* decoded = nullptr);

// What the picture area says about a load of path that brought no picture:
// "Cannot open NAME: " and the reason; empty for a decoded or cancelled load.
QString LoadProblemMessage(const QString& path, decoder::TLoadProblem problem);

// The path as the decoder takes it (UTF-8).
std::string DecoderPath(const QString& path);

// To be called after every write of ours to path (save, rotate, flip, EXIF
// rewrite) and after a delete: the decodes kept of it are dropped.
void ForgetDecodes(const QString& path);

// The part of path after its last '/'.
QString FileNamePart(const QString& path);
// The main window's caption for a loaded file.
QString WindowCaption(const QString& path, unsigned width, unsigned height);
// The "Original: WxH" line of the resize menu.
QString ResInfoCaption(unsigned width, unsigned height);
