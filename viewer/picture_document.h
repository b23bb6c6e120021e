#pragma once

#include "edit/orient_picture.h"
#include "edit/picture_facts.h"
#include "edit/save_picture.h"
#include "edit/tone.h"
#include "platform/free_bitmap.h"
#include "settings/settings.h"
#include "viewer/app_state.h"
#include "viewer/picture_decoder.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// What a command has to show when it is done: a message and how long, and
// whether the window must repaint.
struct TCommandResult {
  QString message;  // empty: none
  int messageMs = 0;
  bool repaint = false;
  bool beep = false;
  bool done = true;  // the command did what it was asked
};

// The picture on display: the working image and the facts of its file, its
// loading and the logic of the commands that change or write it. No window:
// the commands return what the window is to show.
class TPictureDocument {
public:
  // decoder stays owned by the caller and must outlive the document.
  explicit TPictureDocument(TPictureDecoder& decoder) : FDecoder(decoder) {}

  // The load pipeline: StartLoad hands path to the decoder, WaitLoad waits
  // for it, TakePreview takes its reduced decode while it waits, FinishLoad
  // puts the answer in the working image (see ApplyLoadResult); previous
  // receives the picture replaced, for the caller to release.
  void StartLoad(const QString& path, bool exifRotation);
  bool WaitLoad(int timeoutMs, bool stopAtPreview) { return FDecoder.WaitLoad(timeoutMs, stopAtPreview); }
  bool TakePreview();
  void FinishLoad(const QString& path, TFreeBitmap& previous);
  // All of the above at once, waiting for the decode.
  void Load(const QString& path, bool exifRotation);
  TPictureDecoder& Decoder() { return FDecoder; }

  // How the commands that start from the file load it again; unset, Load.
  // The window sets it to its own load, which keeps it alive meanwhile.
  std::function<void(const QString& path)> LoadFile;

  // The tone commands: the file decoded again, one value stepped or set back
  // to neutral, the three values applied.
  TCommandResult ToneStep(const QString& path, TToneState& tone, TToneValue which, TToneDirection direction);
  TCommandResult ToneOriginal(const QString& path, TToneState& tone, TToneValue which);
  void ApplyAdjustments(double gamma, double brightness, double contrast);
  TCommandResult ConvertToGrayScale();

  // Rescales the working image; done false, with the reason, when it was not.
  TCommandResult ResizeWorkingImage(std::int64_t width, std::int64_t height, int filter);
  // The file decoded again at height, the width following its proportions.
  TCommandResult ResizeToHeight(const QString& path, int height, int filter);

  // Rotate or flip: the working image and the file at path at once. Errors
  // of the file itself (gone, unreadable, damaged metadata) escape as
  // exceptions; nothing has been written then.
  TCommandResult Orient(const QString& path, TOrientCommand command, bool exifRotation);
  // Save onto path, Save as onto target, and the 32 x 32 favicon at target
  // (after which the working image is scaled: the caller loads the file again).
  TCommandResult Save(const QString& path, bool exifRotation);
  TCommandResult SaveAs(const QString& path, const QString& target, bool exifRotation);
  TCommandResult SaveFavicon(const QString& target, const TSettings& settings);

  TFreeBitmap Bitmap;  // the working image
  // The file is an animation of this many frames (0: a still picture); the
  // working image is its first frame.
  unsigned AnimationFrames = 0;
  TPictureFacts FileFacts;  // what the last decode of the file held, before any conversion for the screen
  // See Tfmain::bWorkingImageEdited and Tfmain::bLastLoadReadFile.
  bool bWorkingImageEdited = false;
  bool bLastLoadReadFile = false;
  QString LoadProblem;        // why the last load brought no picture, while its file is on display
  TFreeBitmap Preview;        // a reduced decode shown while a slow load waits, if any
  unsigned PreviewWidth = 0;  // the size of the image it stands for
  unsigned PreviewHeight = 0;

private:
  void ReloadFile(const QString& path, bool exifRotation);
  bool ReloadForTone(const QString& path, TToneValue which, TCommandResult& result);
  TSaveRequest SaveRequest(const QString& path, const QString& target, bool exifRotation) const;

  TPictureDecoder& FDecoder;
  bool FExifRotation = false;  // the flag of the last load, for the reloads
};

// Messages that say why a command did nothing stay longer than a
// confirmation, so that they can be read.
inline constexpr int ConfirmationMs = 900;
inline constexpr int FailureMs = 2500;
