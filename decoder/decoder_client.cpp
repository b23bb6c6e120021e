#include "decoder/decoder_client.h"

#include "platform/atomic_file.h"

namespace decoder {

namespace {

// Kept decodes: the current picture and at most two beyond it, and never
// more than a quarter of the machine's memory.
constexpr std::size_t KeptPictures = 3;

}  // namespace

TDecoderClient::TDecoderClient() : FRequests(FProcess, KeptPictures, PhysicalMemory() / 4) {}

TDecoderClient::~TDecoderClient() = default;

TDecoderClient& TDecoderClient::Shared() {
  static TDecoderClient client;
  // Every file the viewer writes goes through the atomic replacement, which
  // tells us: a kept decode of the old content must not come back.
  static const int listener = AddFileReplacedListener([](const std::string& path) { client.Forget(path); });
  (void)listener;
  return client;
}

void TDecoderClient::Start() { FProcess.Start(); }

void TDecoderClient::Stop() { FProcess.Stop(); }

void TDecoderClient::StartLoad(const std::string& path, int flags, unsigned previewSize) {
  FRequests.StartLoad(path, flags, previewSize);
}

bool TDecoderClient::WaitLoad(int timeoutMs, bool stopAtPreview) {
  return FRequests.WaitLoad(timeoutMs, stopAtPreview);
}

bool TDecoderClient::TakePreview(TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight) {
  return FRequests.TakePreview(preview, fullWidth, fullHeight);
}

void TDecoderClient::Pump() { FRequests.Pump(); }

TLoadResult TDecoderClient::TakeLoad() { return FRequests.TakeLoad(); }

void TDecoderClient::CancelLoad() { FRequests.CancelLoad(); }

FREE_IMAGE_FORMAT TDecoderClient::Identify(const std::string& path, unsigned* pages) {
  return FRequests.Identify(path, pages);
}

TLoadResult TDecoderClient::DecodePage(const std::string& path, unsigned page, int flags, unsigned* pages) {
  return FRequests.DecodePage(path, page, flags, pages);
}

bool TDecoderClient::StartFrame(const std::string& path, unsigned index) { return FRequests.StartFrame(path, index); }

std::optional<TFrameAnswer> TDecoderClient::TakeFrame() { return FRequests.TakeFrame(); }

void TDecoderClient::StartCheck(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks) {
  FRequests.StartCheck(path, format, movedBlocks);
}

TCheckResult TDecoderClient::FinishCheck() { return FRequests.FinishCheck(); }

void TDecoderClient::DecodeAhead(const std::string& path, int flags, unsigned previewSize) {
  FRequests.DecodeAhead(path, flags, previewSize);
}

void TDecoderClient::Forget(const std::string& path) { FRequests.Forget(path); }

}  // namespace decoder
