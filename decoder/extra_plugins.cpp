#include "decoder/extra_plugins.h"

#include "decoder/heif_decoder.h"
#include "decoder/jxl_decoder.h"

namespace decoder {

namespace {

bool IsHeif(std::span<const std::uint8_t> head) { return HeifKindOf(head) == THeifKind::Heif; }
bool IsAvif(std::span<const std::uint8_t> head) { return HeifKindOf(head) == THeifKind::Avif; }

}  // namespace

const TExtraFormats& RegisterExtraDecoders() {
  SetExtraReader(TExtraKind::Heif, {IsHeif, DecodeHeif});
  SetExtraReader(TExtraKind::Avif, {IsAvif, DecodeHeif});
  SetExtraReader(TExtraKind::Jxl, {IsJxl, DecodeJxl});
  return RegisterExtraFormats();
}

}  // namespace decoder
