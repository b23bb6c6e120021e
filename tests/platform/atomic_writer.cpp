// The second process of the atomic-file tests: replaces one file, as the
// viewer's writers do, so that a test can kill it at any instant or run it
// as another user.
//
//   atomic_writer TARGET SOURCE [die]
//
// TARGET gets SOURCE's bytes. Just before the complete new content replaces
// the old, "replacing" is printed; with "die" the process kills itself
// there. Exit status 0 on success, 1 with the reason on standard error.
#include "platform/atomic_file.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const bool die = argc > 3 && std::strcmp(argv[3], "die") == 0;
  std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
  std::vector<char> content(in ? size_t(in.tellg()) : 0);
  in.seekg(0);
  if (!in.read(content.data(), std::streamsize(content.size()))) return 2;
  BeforeAtomicReplaceHook() = [die](const std::string&) {
    std::fputs("replacing\n", stdout);
    std::fflush(stdout);
    if (die) ::kill(::getpid(), SIGKILL);
  };
  TAtomicFile file(argv[1]);
  if (file.Open() && file.Write({reinterpret_cast<const uint8_t*>(content.data()), content.size()}) && file.Commit())
    return 0;
  std::fprintf(stderr, "%s\n", file.ErrorText().c_str());
  return 1;
}
