#include "platform/file_kind.h"

#include <sys/stat.h>

bool IsRegularFile(const QString& path) {
  struct stat st {};
  return !path.isEmpty() && ::stat(path.toUtf8().constData(), &st) == 0 && S_ISREG(st.st_mode);
}
