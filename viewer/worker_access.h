#pragma once

// The write commands' view of files through the decoding worker: the file on
// display at its own depth and page by page, and the check of a new file
// before it replaces anything. The viewer itself never decodes a file.

#include "edit/picture_facts.h"
#include "edit/shown_file.h"

#include <string>

class TWorkerShownFile : public TShownFile {
public:
  // path as the decoder takes it (UTF-8); flags the file's load flags.
  TWorkerShownFile(std::string path, int flags) : FPath(std::move(path)), FFlags(flags) {}
  unsigned Pages() override;
  // The first picture comes from the decode the worker keeps of the file
  // on display when it still has it.
  TFreeBitmap Decode(unsigned page) override;

private:
  std::string FPath;
  int FFlags;
};

class TWorkerChecker : public TWrittenFileChecker {
public:
  void Start(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks) override;
  TCheckedFile Finish() override;
};
