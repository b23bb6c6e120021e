#include "decoder/worker_path.h"

#include "platform/posix_io.h"

#include <cstdlib>

namespace decoder {

namespace {

constexpr const char* WorkerName = "velvane-decoder";

}  // namespace

std::string FindWorkerExecutable() {
  if (const char* overridden = std::getenv("VELVANE_DECODER"); overridden && *overridden)
    return IsExecutableFile(overridden) ? std::string(overridden) : std::string();
  const std::string folder = ExecutableFolder();
  if (folder.empty()) return {};
  for (const std::string& candidate :
       {folder + WorkerName, folder + "../libexec/velvane/" + WorkerName, folder + "../" + WorkerName})
    if (IsExecutableFile(candidate)) return candidate;
  return {};
}

}  // namespace decoder
