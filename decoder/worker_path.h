#pragma once

#include <string>

namespace decoder {

// The worker executable: $VELVANE_DECODER when set (tests and odd layouts),
// else velvane-decoder beside the running executable, in
// ../libexec/velvane/ relative to it (an installed viewer), or one folder up
// (the tests and benchmarks in their sub-folders of the build folder).
// Empty when none is found.
std::string FindWorkerExecutable();

}  // namespace decoder
