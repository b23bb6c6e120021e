#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

// Files are checked as the user "nobody" for the life of the object, so that
// a test run as root still meets files it may not read (root's file-system
// user id rules out its override of permissions). Linux keeps that id per
// thread: other threads are not affected. Run as any other user, nothing
// changes, and the permissions the test sets do the work alone.
class FileAccessAsNobody {
public:
  FileAccessAsNobody() {
    if (::geteuid() == 0) FPrevious = ::setfsuid(kNobody);
  }
  ~FileAccessAsNobody() {
    if (FPrevious >= 0) ::setfsuid(static_cast<uid_t>(FPrevious));
  }
  FileAccessAsNobody(const FileAccessAsNobody&) = delete;
  FileAccessAsNobody& operator=(const FileAccessAsNobody&) = delete;

private:
  static constexpr uid_t kNobody = 65534;
  int FPrevious = -1;
};
