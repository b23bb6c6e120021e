#include "viewer/image_loader.h"

#include "edit/cmyk_picture.h"
#include "edit/icc_profile.h"

#include <QByteArray>

int LoadFlags(bool exifRotation) { return exifRotation ? JPEG_EXIFROTATE : JPEG_DEFAULT; }

std::string DecoderPath(const QString& path) { return path.toUtf8().toStdString(); }

void ForgetDecodes(const QString& path) { decoder::TDecoderClient::Shared().Forget(DecoderPath(path)); }

FREE_IMAGE_FORMAT IdentifyReadableFormat(const QString& path) {
  return decoder::TDecoderClient::Shared().Identify(DecoderPath(path));
}

bool ApplyLoadResult(TFreeBitmap& bitmap, decoder::TLoadResult result, TFreeBitmap* previous, TPictureFacts* decoded) {
  if (result.outcome == decoder::TLoadOutcome::UnknownFormat) return false;
  if (previous)
    *previous = std::move(bitmap);
  else
    bitmap.Clear();
  if (result.outcome == decoder::TLoadOutcome::Decoded) {
    bitmap = std::move(result.bitmap);
    bitmap.SetLinearLight(result.fif == FIF_EXR || result.fif == FIF_HDR);
  }
  if (decoded) {
    *decoded = FactsOf(bitmap.Dib());
    decoded->Format = result.fif;
  }
  // 16 bits an ink become 8, kept as inks; FreeImage's conversion would take
  // them for red, green, blue and alpha.
  if (IsCmykPicture(bitmap.Dib()) && bitmap.BPP() > 32)
    bitmap.Replace(Cmyk16To8(bitmap.Dib()));
  else if (bitmap.BPP() > 32)
    bitmap.Replace(KeepIccProfile(bitmap.Dib(), FreeImage_ConvertTo32Bits(bitmap.Dib())));
  return true;
}

bool LoadImageFile(TFreeBitmap& bitmap, const QString& path, bool exifRotation) {
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  client.StartLoad(DecoderPath(path), LoadFlags(exifRotation));
  client.WaitLoad(-1);
  return ApplyLoadResult(bitmap, client.TakeLoad());
}

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString LoadProblemMessage(const QString& path, decoder::TLoadProblem problem) {
  const char* reason = nullptr;
  switch (problem) {
    case decoder::TLoadProblem::Missing: reason = "the file does not exist"; break;
    case decoder::TLoadProblem::Unreadable: reason = "the file cannot be read"; break;
    case decoder::TLoadProblem::NotAPicture: reason = "not a picture this viewer can read"; break;
    case decoder::TLoadProblem::Damaged: reason = "the file is damaged"; break;
    case decoder::TLoadProblem::GaveUp: reason = "the decoder gave up"; break;
    case decoder::TLoadProblem::None:
    case decoder::TLoadProblem::Cancelled: return QString();
  }
  return QStringLiteral("Cannot open %1: %2").arg(FileNamePart(path), QLatin1String(reason));
}

QString WindowCaption(const QString& path, unsigned width, unsigned height) {
  // One call fills every placeholder at once: a name holding "%2" or the like
  // is text, never a placeholder for the arguments after it.
  return QStringLiteral("%1  (%2 x %3) - %4")
      .arg(FileNamePart(path), QString::number(width), QString::number(height), QLatin1String(ApplicationTitle));
}

QString ResInfoCaption(unsigned width, unsigned height) {
  return QStringLiteral("Original: %1x%2").arg(QString::number(width), QString::number(height));
}
