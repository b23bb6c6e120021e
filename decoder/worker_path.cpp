#include "decoder/worker_path.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace decoder {

namespace {

constexpr const char* WorkerName = "velvane-decoder";

std::string ExecutableFolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  std::string path(buffer.data(), static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsExecutable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string FindWorkerExecutable() {
  if (const char* overridden = std::getenv("VELVANE_DECODER"); overridden && *overridden)
    return IsExecutable(overridden) ? std::string(overridden) : std::string();
  const std::string folder = ExecutableFolder();
  if (folder.empty()) return {};
  for (const std::string& candidate :
       {folder + WorkerName, folder + "../libexec/velvane/" + WorkerName, folder + "../" + WorkerName})
    if (IsExecutable(candidate)) return candidate;
  return {};
}

}  // namespace decoder
