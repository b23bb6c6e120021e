// A folder of the photos people have today (HEIC, AVIF, JPEG XL, a camera's
// RAW files) beside JPEG and PNG: listed in natural order, stepped through
// both ways with the next picture decoded ahead, and never written.
#include "tfmain_fixture.h"

#include "../decoder/dng_file.h"
#include "../decoder/new_format_files.h"
#include "decoder/decoder_client.h"

#include <QTest>

namespace {

class NewFormatsWindow : public TfmainFixture {
protected:
  void SetUp() override {
    const QString source = newfiles::QuadrantJpeg(dir, QStringLiteral("src/source.jpg"), false, 0);
    jpeg = dir.Write(QStringLiteral("01 jpeg.jpg"), testimg::ReadFile(source));
    heic = newfiles::Encode(dir, source, QStringLiteral("02 phone.HEIC"));
    avif = newfiles::Encode(dir, source, QStringLiteral("03 web.avif"));
    dngtest::TDngLayout layout;
    layout.previewJpeg = testimg::ReadFile(source);
    layout.previewWidth = 64;
    layout.previewHeight = 48;
    nef = dir.Write(QStringLiteral("04 camera.NEF"), dngtest::Dng(layout));
    png = newfiles::QuadrantPng(dir, QStringLiteral("05 png.png"), false, false);
    jxl = newfiles::Encode(dir, source, QStringLiteral("10 next.jxl"));
    ASSERT_FALSE(heic.isEmpty() || avif.isEmpty() || jxl.isEmpty());
    QTest::qWait(100);  // folder times a listing read ahead can trust
  }
  void ExpectPicture(const char* name) {
    EXPECT_EQ(Shown(), QLatin1String(name));
    EXPECT_EQ(window->Bitmap().Width(), 64u) << name;
    EXPECT_EQ(window->Bitmap().Height(), 48u) << name;
    EXPECT_TRUE(window->LoadProblem().isEmpty()) << name << ": " << window->LoadProblem().toStdString();
  }
  QString jpeg, heic, avif, nef, png, jxl;
};

TEST_F(NewFormatsWindow, TheFolderStepsInNaturalOrderBothWaysTakingEachDecodeAhead) {
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  Open(jpeg);
  ExpectPicture("01 jpeg.jpg");
  std::uint64_t loaded = client.DecodesSent();
  const char* order[] = {"02 phone.HEIC", "03 web.avif", "04 camera.NEF", "05 png.png", "10 next.jxl", "01 jpeg.jpg"};
  for (const char* name : order) {
    // The next pictures are decoded ahead while this one shows; the step
    // takes the decode, finished or not, and sends the worker at most the
    // file after it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.DecodesSent() > loaded; }, 20000)) << name;
    const std::uint64_t ahead = client.DecodesSent();
    Run("AcNext");
    ExpectPicture(name);
    EXPECT_LE(client.DecodesSent(), ahead + 1) << name;
    EXPECT_NE(QFileInfo(QString::fromStdString(client.PathUnderWay())).fileName(), QString(name))
        << name << " was not decoded ahead";
    loaded = client.DecodesSent();
  }
  Run("AcPrev");
  ExpectPicture("10 next.jxl");
  Run("AcPrev");
  ExpectPicture("05 png.png");
  Run("AcFirst");
  ExpectPicture("01 jpeg.jpg");
  EXPECT_EQ(state.Folder.lsDir.size(), 6u);
}

TEST_F(NewFormatsWindow, ARotateOrFlipTurnsTheScreenAndLeavesTheFileAsItWas) {
  const struct {
    QString path;
    const char* message;
  } cases[] = {{heic, "HEIF files cannot be written"},
               {avif, "AVIF files cannot be written"},
               {jxl, "JXL files cannot be written"},
               {nef, "RAW files cannot be written"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    const QByteArray before = testimg::ReadFile(c.path);
    Open(c.path);
    ASSERT_EQ(window->Bitmap().Width(), 64u);
    Run("AcRotateRight");
    EXPECT_EQ(window->Bitmap().Width(), 48u);
    EXPECT_EQ(window->Bitmap().Height(), 64u);
    EXPECT_TRUE(window->Message().contains(QLatin1String(c.message))) << window->Message().toStdString();
    Run("AcFlipHorizontal");
    EXPECT_EQ(testimg::ReadFile(c.path), before);
  }
}

}  // namespace
