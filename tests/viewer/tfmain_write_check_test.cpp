// The write commands over the real decoding worker: a new file that is not
// what was meant never replaces the old one; a deep picture is turned at the
// file's own depth, decoded again by the worker; a file that cannot be
// written whole is turned on the screen only, and the message says the file
// was not changed. The document runs them; Save as runs through the window.
#include "document_fixture.h"
#include "tfmain_fixture.h"

#include "edit/save_picture.h"
#include "edit_test_support.h"
#include "platform/modal_dialog.h"

#include <QFileDialog>

#include <memory>

namespace {

std::string Shell(const TempFolder& dir, const QString& name, const std::string& command) {
  int code = 0;
  const std::string output =
      RunCommand("cd " + ShellQuote(dir.Path().toStdString()) + " && " + command + " 2>&1", &code);
  EXPECT_EQ(code, 0) << command << ": " << output;
  return dir.File(name).toStdString();
}

int Frames(const std::string& path) {
  return int(RunCommand("identify -format 'x\\n' " + ShellQuote(path)).size() / 2);
}

class WriteCheckTest : public DocumentFixture {
protected:
  void TearDown() override { WrittenFileFaultHook() = nullptr; }
  std::string Path(const QString& name) { return dir.File(name).toStdString(); }
  std::string Shell(const QString& name, const std::string& command) { return ::Shell(dir, name, command); }
  void Open(const std::string& path) { DocumentFixture::Open(QString::fromStdString(path)); }
};

TEST_F(WriteCheckTest, ANewFileThatIsNotWhatWasMeantLeavesTheFileAsItWas) {
  const std::string gif =
      Shell(QStringLiteral("anim.gif"), "convert -delay 20 -size 40x30 xc:red xc:blue xc:yellow anim.gif");
  const std::string jpg = Path(QStringLiteral("photo.jpg"));
  WriteFile(jpg, EncodeWithFreeImage(Pattern(64, 48).get(), FIF_JPEG, 90));
  const TBytes gifBytes = ReadFile(gif), jpgBytes = ReadFile(jpg);
  Open(gif);
  ASSERT_EQ(document.Bitmap.Width(), 40u);

  // A writer that keeps only the first frame, as FreeImage's encoder would.
  WrittenFileFaultHook() = [](std::vector<uint8_t>& bytes) {
    bytes = EncodeWithFreeImage(DecodeBytes(bytes).get(), FIF_GIF);
  };
  Orient(ocRotateRight);
  EXPECT_EQ(shown, QStringLiteral("Nothing was written: the new file holds 1 picture, not 3"));
  EXPECT_EQ(ReadFile(gif), gifBytes);
  EXPECT_EQ(document.Bitmap.Width(), 40u);  // the screen shows the file

  // One that cuts the new file short, by its end-of-image marker only.
  WrittenFileFaultHook() = [](std::vector<uint8_t>& bytes) { bytes.resize(bytes.size() - 2); };
  Open(jpg);
  for (const TOrientCommand command : {ocRotateLeft, ocFlipVertical}) {
    shown.clear();
    Orient(command);
    EXPECT_EQ(shown, QStringLiteral("Nothing was written: the new file holds damaged data")) << command;
    EXPECT_EQ(ReadFile(jpg), jpgBytes) << command;
    EXPECT_EQ(document.Bitmap.Width(), 64u) << command;
  }
  // And one that writes another picture altogether, on Save.
  WrittenFileFaultHook() = [](std::vector<uint8_t>& bytes) {
    bytes = EncodeWithFreeImage(Pattern(10, 10).get(), FIF_JPEG);
  };
  document.bWorkingImageEdited = true;
  Save();
  EXPECT_EQ(shown, QStringLiteral("Nothing was written: the new file is 10 x 10 pixels, not 64 x 48"));
  EXPECT_EQ(ReadFile(jpg), jpgBytes);
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary file left

  // Without a fault every one of them writes.
  WrittenFileFaultHook() = nullptr;
  Save();
  EXPECT_EQ(shown, QStringLiteral("Saved"));
  Open(gif);
  Orient(ocRotateRight);
  EXPECT_EQ(Frames(gif), 3);
  EXPECT_EQ(document.Bitmap.Width(), 30u);
}

TEST_F(WriteCheckTest, ADeepPictureIsTurnedAtItsOwnDepthAndASavedOneGainsNoAlpha) {
  TDib deep(FreeImage_AllocateT(FIT_RGB16, 40, 30));
  for (unsigned y = 0; y < 30; ++y) {
    auto* line = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(deep.get(), int(y)));
    for (unsigned x = 0; x < 40; ++x) line[x] = {WORD(1000 + 997 * x), WORD(3001 + 613 * y), WORD(7 * x * y + 5)};
  }
  const std::string tif = Path(QStringLiteral("deep.tif"));
  ASSERT_TRUE(FreeImage_Save(FIF_TIFF, deep.get(), tif.c_str(), 0));
  Open(tif);
  ASSERT_EQ(document.Bitmap.BPP(), 32u);  // converted for the screen

  Orient(ocRotateLeft);
  TDib written = DecodeFile(tif);
  ASSERT_EQ(FreeImage_GetImageType(written.get()), FIT_RGB16);
  EXPECT_EQ(std::memcmp(FreeImage_GetBits(written.get()), FreeImage_GetBits(Transformed(deep.get(), ptRotate270).get()),
                        FreeImage_GetPitch(written.get()) * 40),
            0);
  EXPECT_EQ(document.Bitmap.Width(), 30u);
  EXPECT_FALSE(document.bWorkingImageEdited);

  // Edited, it is written from the working image: 8 bits, no alpha added.
  FreeImage_AdjustBrightness(Picture(), 10);
  document.bWorkingImageEdited = true;
  Save();
  EXPECT_EQ(shown, QStringLiteral("Saved"));
  written = DecodeFile(tif);
  EXPECT_EQ(FreeImage_GetBPP(written.get()), 24u);
}

TEST_F(WriteCheckTest, AFileThatCannotBeWrittenWholeIsTurnedOnTheScreenOnly) {
  const std::string gif = Shell(QStringLiteral("anim.gif"), "convert -size 20x10 xc:red xc:blue xc:yellow anim.gif");
  const std::string pcx = Shell(QStringLiteral("old.pcx"), "convert -size 20x10 xc:red old.pcx");
  for (const std::string& path : {gif, pcx}) {
    const TBytes before = ReadFile(path);
    Open(path);
    if (path == gif) document.bWorkingImageEdited = true;  // an edit of the first frame alone
    Orient(ocRotateRight);
    EXPECT_EQ(shown, path == gif ? QStringLiteral("Nothing was written: the file holds 3 pictures")
                                 : QStringLiteral("Nothing was written: PCX files cannot be written"));
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(document.Bitmap.Width(), 10u) << path;
    EXPECT_TRUE(document.bWorkingImageEdited) << path;  // the screen differs from the file
  }
  // A file that is no picture leaves the previous one on screen, which is
  // not written in its place.
  const std::string notes = Path(QStringLiteral("notes.txt"));
  WriteFile(notes, Text("not a picture"));
  Open(notes);
  Orient(ocRotateLeft);
  EXPECT_EQ(shown, QStringLiteral("The picture could not be rotated: the file could not be read"));
  EXPECT_EQ(ReadFile(notes), Text("not a picture"));

  // Save of an edited first frame would drop the others.
  Open(gif);
  document.bWorkingImageEdited = true;
  Save();
  EXPECT_EQ(shown, QStringLiteral("Nothing was written: the file holds 3 pictures"));
  EXPECT_EQ(Frames(gif), 3);
}

// Rotate writes the format the content has; Save the one the name says.
TEST_F(WriteCheckTest, RotateFollowsTheContentSaveTheName) {
  const std::string path = Path(QStringLiteral("named.jpg"));
  WriteFile(path, EncodeWithFreeImage(Pattern(40, 30).get(), FIF_PNG));
  Open(path);
  Orient(ocRotateRight);
  EXPECT_EQ(FreeImage_GetFileType(path.c_str(), 0), FIF_PNG);
  document.bWorkingImageEdited = true;
  Save();
  EXPECT_EQ(FreeImage_GetFileType(path.c_str(), 0), FIF_JPEG);
  Orient(ocRotateLeft);
  EXPECT_EQ(FreeImage_GetFileType(path.c_str(), 0), FIF_JPEG);
  EXPECT_EQ(FreeImage_GetWidth(DecodeFile(path).get()), 40u);
  EXPECT_EQ(shown, QStringLiteral("Saved"));
}

class WriteCheckWindowTest : public TfmainFixture {
protected:
  void TearDown() override {
    ModalDialogHook() = nullptr;
    TfmainFixture::TearDown();
  }
};

TEST_F(WriteCheckWindowTest, SaveAsOfAnUneditedPictureCopiesTheFile) {
  const std::string gif = Shell(dir, QStringLiteral("anim.gif"), "convert -size 20x10 xc:red xc:blue anim.gif");
  Open(QString::fromStdString(gif));
  ModalDialogHook() = [](QDialog& d) {
    auto& dialog = static_cast<QFileDialog&>(d);
    dialog.selectFile(QStringLiteral("copy.gif"));
    QMetaObject::invokeMethod(&dialog, "accept");
  };
  Run("AcSaveAs");
  EXPECT_EQ(ReadFile(dir.File(QStringLiteral("copy.gif")).toStdString()), ReadFile(gif));
}

}  // namespace
