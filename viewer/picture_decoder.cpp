#include "viewer/picture_decoder.h"

void TWorkerDecoder::StartLoad(const std::string& path, int flags, unsigned previewSize) {
  decoder::TDecoderClient::Shared().StartLoad(path, flags, previewSize);
}

bool TWorkerDecoder::WaitLoad(int timeoutMs, bool stopAtPreview) {
  return decoder::TDecoderClient::Shared().WaitLoad(timeoutMs, stopAtPreview);
}

decoder::TLoadResult TWorkerDecoder::TakeLoad() { return decoder::TDecoderClient::Shared().TakeLoad(); }

bool TWorkerDecoder::TakePreview(decoder::TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight) {
  return decoder::TDecoderClient::Shared().TakePreview(preview, fullWidth, fullHeight);
}

decoder::TDecoderClient* TWorkerDecoder::Client() { return &decoder::TDecoderClient::Shared(); }
