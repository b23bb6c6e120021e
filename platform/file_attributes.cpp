#include "platform/file_attributes.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

#include <sys/xattr.h>

namespace {

// Runs a list or get call that takes (buffer, size) into out, asking again
// when the value grew between the size query and the read. False, with
// errno set, when the call fails.
template <typename Call>
bool ReadSized(Call call, std::string& out) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return false;
    out.resize(size_t(size));
    const ssize_t got = call(out.data(), out.size());
    if (got >= 0) {
      out.resize(size_t(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  errno = ERANGE;
  return false;
}

// The names in a list from listxattr: NUL-terminated, one after the other.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  for (size_t start = 0; start < list.size();) {
    const size_t end = list.find('\0', start);
    const size_t stop = end == std::string::npos ? list.size() : end;
    if (stop > start) names.emplace_back(list, start, stop - start);
    start = stop + 1;
  }
  return names;
}

bool FileSystemHasNoAttributes(int error) { return error == ENOTSUP || error == ENOSYS; }

bool VouchesForContent(std::string_view name) {
  return name == "security.capability" || name == "security.ima" || name == "security.evm";
}

}  // namespace

TAttributeCopy CarryExtendedAttributes(const std::string& sourcePath, int targetFd) {
  const char* source = sourcePath.c_str();
  std::string list;
  if (!ReadSized([&](char* buffer, size_t size) { return ::llistxattr(source, buffer, size); }, list)) {
    if (FileSystemHasNoAttributes(errno)) return {};
    return {errno, {}};
  }
  const std::vector<std::string> wanted = SplitNames(list);
  if (!ReadSized([&](char* buffer, size_t size) { return ::flistxattr(targetFd, buffer, size); }, list)) {
    if (!FileSystemHasNoAttributes(errno) || !wanted.empty()) return {errno, {}};
    return {};
  }
  const std::vector<std::string> present = SplitNames(list);

  std::string value, current;
  for (const std::string& name : wanted) {
    if (VouchesForContent(name)) continue;
    if (!ReadSized([&](char* buffer, size_t size) { return ::lgetxattr(source, name.c_str(), buffer, size); }, value)) {
      if (errno == ENODATA) continue;  // removed since the list was read
      return {errno, name};
    }
    // The folder may have given the new file the same value already (a
    // security label); setting it again could need a privilege.
    if (std::find(present.begin(), present.end(), name) != present.end() &&
        ReadSized([&](char* buffer, size_t size) { return ::fgetxattr(targetFd, name.c_str(), buffer, size); },
                  current) &&
        current == value)
      continue;
    if (::fsetxattr(targetFd, name.c_str(), value.data(), value.size(), 0) != 0) return {errno, name};
  }
  for (const std::string& name : present) {
    if (VouchesForContent(name) || std::find(wanted.begin(), wanted.end(), name) != wanted.end()) continue;
    if (::fremovexattr(targetFd, name.c_str()) == 0 || errno == ENODATA) continue;
    // A label the system gives every file cannot be taken away; it grants
    // nothing the folder does not grant already.
    if (name.rfind("security.", 0) == 0) continue;
    return {errno, name};
  }
  return {};
}
