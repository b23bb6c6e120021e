// The second process of the kill test: one command on one file, as the
// viewer runs it, so that the test can kill it at any instant.
//
//   orient_child COMMAND PATH [die]
//
// COMMAND is save, rotate, rotate-edited, flip or flip-edited ("edited" takes
// the re-encoding path). The file is decoded with the EXIF rotation applied.
// Just before the new file replaces the old one, "replacing" is printed;
// with "die" the process kills itself there.
#include "edit/orient_picture.h"
#include "edit/save_picture.h"
#include "platform/atomic_file.h"

#include <FreeImage.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  const std::string path = argv[2];
  const bool die = argc > 3 && std::strcmp(argv[3], "die") == 0;
  BeforeAtomicReplaceHook() = [die](const std::string&) {
    std::fputs("replacing\n", stdout);
    std::fflush(stdout);
    if (die) ::kill(::getpid(), SIGKILL);
  };

  FreeImage_Initialise(FALSE);
  const TFreeBitmap owned(FreeImage_Load(FIF_JPEG, path.c_str(), JPEG_EXIFROTATE));
  FIBITMAP* picture = owned.Dib();
  if (!picture) return 3;
  bool ok = false;
  if (command == "save") {
    ok = SavePicture(picture, path, true).Ok();
  } else {
    const bool rotate = command.rfind("rotate", 0) == 0;
    TOrientedWrite request;
    request.path = path;
    request.command = rotate ? ocRotateRight : ocFlipHorizontal;
    request.exifRotation = true;
    request.pictureEdited = command.find("edited") != std::string::npos;
    request.workingImage = picture;
    request.fileFormat = FIF_JPEG;
    TFreeBitmap turned;
    request.turnWorkingImage = [&] {
      turned = TransformPicture(picture, request.command);
      return turned.Dib();
    };
    ok = WriteOrientedFile(request).save.Ok();
  }
  FreeImage_DeInitialise();
  return ok ? 0 : 1;
}
