#include "decoder/decoder_client.h"

#include "platform/atomic_file.h"

namespace decoder {

namespace {

// Kept decodes: the current picture and at most two beyond it, and never
// more than a quarter of the machine's memory.
constexpr std::size_t KeptPictures = 3;

}  // namespace

TDecoderClient::TDecoderClient() : TDecodeRequests(FProcess, KeptPictures, PhysicalMemory() / 4) {}

TDecoderClient::~TDecoderClient() = default;

TDecoderClient& TDecoderClient::Shared() {
  static TDecoderClient client;
  // Every file the viewer writes goes through the atomic replacement, which
  // tells us: a kept decode of the old content must not come back.
  static const int listener = AddFileReplacedListener([](const std::string& path) { client.Forget(path); });
  (void)listener;
  return client;
}

}  // namespace decoder
