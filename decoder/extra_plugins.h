#pragma once

// The readers of the newer formats, given to their FreeImage plugins
// (decoder/extra_formats_plugin.h): for the worker, and for tests that
// decode as it does.

#include "decoder/extra_formats_plugin.h"

namespace decoder {

// Registers the plugins (when no one has yet) with their readers, and
// returns their format codes.
const TExtraFormats& RegisterExtraDecoders();

}  // namespace decoder
