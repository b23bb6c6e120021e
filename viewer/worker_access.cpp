#include "viewer/worker_access.h"

#include "decoder/decoder_client.h"

unsigned TWorkerShownFile::Pages() {
  unsigned pages = 0;
  decoder::TDecoderClient::Shared().Identify(FPath, &pages);
  return pages;
}

TFreeBitmap TWorkerShownFile::Decode(unsigned page) {
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  decoder::TLoadResult result;
  if (page == 0) {
    client.StartLoad(FPath, FFlags);
    client.WaitLoad(-1);
    result = client.TakeLoad();
  } else {
    result = client.DecodePage(FPath, page, FFlags);
  }
  if (result.outcome != decoder::TLoadOutcome::Decoded) return {};
  return std::move(result.bitmap);
}

void TWorkerChecker::Start(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks) {
  decoder::TDecoderClient::Shared().StartCheck(path, format, movedBlocks);
}

TCheckedFile TWorkerChecker::Finish() {
  decoder::TCheckResult result = decoder::TDecoderClient::Shared().FinishCheck();
  const TFreeBitmap& picture = result.decode.bitmap;
  TCheckedFile checked;
  checked.Decoded = result.decoded;
  checked.Damaged = result.warned;
  checked.ContentFormat = result.contentFormat;
  if (!checked.Decoded) return checked;
  checked.Facts = FactsOf(picture.Dib());
  checked.Facts.Format = result.contentFormat;
  checked.Facts.Pages = result.pages;
  // A large JPEG is decoded reduced.
  checked.Facts.Width = result.width;
  checked.Facts.Height = result.height;
  return checked;
}
