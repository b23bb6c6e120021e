#pragma once

#include "viewer/picture_document.h"

#include "support/temp_folder.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <exception>

// The picture document over the real decoding worker, without a window: for
// the commands whose result is the picture and the file. Shown keeps the
// last message a command gave, as the window's message line would; errors
// the texts of the errors that escaped a command, which the window would
// show in its error box.
class DocumentFixture : public ::testing::Test {
protected:
  void Open(const QString& path) {
    current = path;
    document.Load(path, exifRotation);
  }
  TCommandResult Show(TCommandResult result) {
    if (!result.message.isEmpty()) shown = result.message;
    return result;
  }
  TCommandResult Orient(TOrientCommand command) {
    return Catching([&] { return document.Orient(current, command, exifRotation); });
  }
  TCommandResult Save() {
    return Catching([&] { return document.Save(current, exifRotation); });
  }
  TCommandResult ToneStep(TToneValue which, TToneDirection direction) {
    return Show(document.ToneStep(current, tone, which, direction));
  }
  TCommandResult ToneOriginal(TToneValue which) { return Show(document.ToneOriginal(current, tone, which)); }
  template <class TCommandRun>
  TCommandResult Catching(TCommandRun run) {
    try {
      return Show(run());
    } catch (const std::exception& e) {
      errors << QString::fromUtf8(e.what()) + u'.';
    }
    return {};
  }
  FIBITMAP* Picture() const { return document.Bitmap.Dib(); }

  TempFolder dir;
  TWorkerDecoder decoder;
  TPictureDocument document{decoder};
  TToneState tone;
  QString current;
  bool exifRotation = true;  // as the default settings have it
  QString shown;
  QStringList errors;
};
