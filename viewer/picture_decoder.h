#pragma once

#include "decoder/decoder_client.h"

#include <string>

// What the picture document needs of a decoder: one load at a time, its
// reduced preview, and its answer. The viewer's is the decoding worker
// (TWorkerDecoder); tests give the document one that needs no worker.
class TPictureDecoder {
public:
  virtual ~TPictureDecoder() = default;
  virtual void StartLoad(const std::string& path, int flags, unsigned previewSize) = 0;
  // True once the answer is there; timeoutMs negative waits for it.
  // stopAtPreview: false as soon as a preview has come.
  virtual bool WaitLoad(int timeoutMs, bool stopAtPreview) = 0;
  virtual decoder::TLoadResult TakeLoad() = 0;
  // The pending load's reduced decode, once, and the full size.
  virtual bool TakePreview(decoder::TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight) = 0;
  // The worker client behind a slow load's wait; nullptr for a decoder that
  // answers without one.
  virtual decoder::TDecoderClient* Client() { return nullptr; }
};

// The decoding worker shared by the whole viewer.
class TWorkerDecoder : public TPictureDecoder {
public:
  void StartLoad(const std::string& path, int flags, unsigned previewSize) override;
  bool WaitLoad(int timeoutMs, bool stopAtPreview) override;
  decoder::TLoadResult TakeLoad() override;
  bool TakePreview(decoder::TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight) override;
  decoder::TDecoderClient* Client() override;
};
