// Animated GIF and WebP files played in the real window: the frames painted,
// in order, at their delays, pixel for pixel against ImageMagick's coalesced
// frames; stills as before; stepping away, an edit, and a hostile animation.
#include "platform/free_bitmap.h"
#include "support/gif_bytes.h"
#include "tfmain_fixture.h"
#include "viewer/picture_painter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QProcess>
#include <QThread>

#include <algorithm>

namespace {

const QString ImageMagick = QStringLiteral("/usr/bin/convert-im6.q16");

bool RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  const bool ok =
      process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  if (!ok) ADD_FAILURE() << qPrintable(program) << " failed: " << process.readAll().constData();
  return ok;
}

// Delays of the three frames, in milliseconds.
const std::vector<int> Delays{120, 250, 60};

struct TPainted {
  qint64 ms;
  int index;
  QImage frame;
};

class TfmainAnimationTest : public TfmainFixture {
protected:
  // 40 x 30: a red screen (kept); a blue 20 x 10 at +5+5 (cleared to the
  // background afterwards); a green 12 x 8 at +20+15 (restoring what was before).
  QString MakeGif() {
    const QString f0 = dir.File("f0.png"), f1 = dir.File("f1.png"), f2 = dir.File("f2.png"), gif = dir.File("anim.gif");
    const bool made = RunTool(ImageMagick, {"-size", "40x30", "xc:red", f0}) &&
                      RunTool(ImageMagick, {"-size", "20x10", "xc:blue", f1}) &&
                      RunTool(ImageMagick, {"-size", "12x8", "xc:lime", f2}) &&
                      RunTool(ImageMagick, {"-dispose", "None",       "-delay", "12", "-page", "40x30+0+0",   f0,
                                            "-dispose", "Background", "-delay", "25", "-page", "40x30+5+5",   f1,
                                            "-dispose", "Previous",   "-delay", "6",  "-page", "40x30+20+15", f2,
                                            "-loop",    "0",          gif});
    return made ? gif : QString();
  }

  // The GIF's coalesced frames as an animated WebP with the same delays.
  QString MakeWebp(const QString& gif) {
    const QString webp = dir.File("anim.webp");
    const bool made = RunTool(ImageMagick, {gif, "-coalesce", "PNG32:" + dir.File("c_%d.png")}) &&
                      RunTool("img2webp", {"-loop", "0", "-lossless", "-d", "120", dir.File("c_0.png"), "-d", "250",
                                           dir.File("c_1.png"), "-d", "60", dir.File("c_2.png"), "-o", webp});
    return made ? webp : QString();
  }

  std::vector<TFreeBitmap> Coalesced(const QString& path) {
    std::vector<TFreeBitmap> frames;
    const QString pattern = path + "_ref_%d.png";
    if (!RunTool(ImageMagick, {path, "-coalesce", "PNG32:" + pattern})) return frames;
    for (int i = 0; i < 3; ++i)
      frames.emplace_back(
          FreeImage_Load(FIF_PNG, QFile::encodeName(QString(pattern).replace("%d", QString::number(i))).constData()));
    return frames;
  }

  // Runs the event loop for ms, noting each frame the window paints.
  std::vector<TPainted> Watch(int ms) {
    std::vector<TPainted> painted;
    QElapsedTimer clock;
    clock.start();
    int last = -2;
    while (clock.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
      const int index = window->Animation().ShownIndex();
      if (index != last && index >= 0) painted.push_back({clock.elapsed(), index, window->Frame().copy()});
      last = index;
      QThread::usleep(500);
    }
    return painted;
  }

  // What the window paints for reference, the overlay aside: the picture's
  // rectangle compared pixel for pixel.
  void ExpectPainted(const QImage& got, const TFreeBitmap& reference, const std::string& where) {
    QImage want(got.size(), QImage::Format_RGB32);
    want.setDevicePixelRatio(got.devicePixelRatio());
    TViewState view = state.View;
    TFreeBitmap copy;
    TFreeBitmap source(FreeImage_Clone(reference.Dib()));
    PaintPicture(want, source, view, copy);
    int wrong = 0, compared = 0;
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x) {
        const QRgb w = want.pixel(x, y);
        if (w == BackgroundColor) continue;
        ++compared;
        if (got.pixel(x, y) != w && ++wrong <= 3)
          ADD_FAILURE() << where << " at " << x << "," << y << ": want " << std::hex << w << " got " << got.pixel(x, y);
      }
    EXPECT_GT(compared, 0) << where;
  }

  // reference: the file whose coalesced frames path must show.
  void ExpectPlays(const QString& path, const QString& referencePath) {
    ASSERT_FALSE(path.isEmpty());
    const std::vector<TFreeBitmap> reference = Coalesced(referencePath);
    ASSERT_EQ(reference.size(), 3u);
    Open(path);
    ASSERT_TRUE(window->Animation().Active());
    const std::vector<TPainted> painted = Watch(1300);
    ASSERT_GE(painted.size(), 5u);
    // Each frame due a delay after the one before; a late one does not put
    // off those after it.
    qint64 due = painted[0].ms;
    for (std::size_t i = 0; i < painted.size(); ++i) {
      const std::string where = QFileInfo(path).fileName().toStdString() + " step " + std::to_string(i);
      EXPECT_EQ(painted[i].index, int(i % 3)) << where;
      ExpectPainted(painted[i].frame, reference[std::size_t(painted[i].index)], where);
      if (i > 0) due += Delays[std::size_t(painted[i - 1].index)];
      EXPECT_GE(painted[i].ms, due - 8) << where;  // the watch samples every millisecond or so
      EXPECT_LE(painted[i].ms, due + 80) << where;
    }
  }
};

TEST_F(TfmainAnimationTest, GifPlaysItsComposedFramesAtTheirDelays) {
  const QString gif = MakeGif();
  ExpectPlays(gif, gif);
}

TEST_F(TfmainAnimationTest, WebpPlaysItsComposedFramesAtTheirDelays) {
  const QString gif = MakeGif();
  ASSERT_FALSE(gif.isEmpty());
  // This ImageMagick coalesces the WebP's frames without their alpha blending;
  // img2webp made it to show the GIF's frames.
  ExpectPlays(MakeWebp(gif), gif);
}

// Notes the rectangle of every paint event of the widget it watches.
class TPaintWatch : public QObject {
public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(event)->rect());
    return false;
  }
  std::vector<QRect> rects;
};

TEST_F(TfmainAnimationTest, ANewFrameRepaintsOnlyWhatChangedInThePicturesPlace) {
  const QString gif = MakeGif();
  ASSERT_FALSE(gif.isEmpty());
  Open(gif);
  // Wider than the picture's 4:3, which fits it to the height between bands.
  window->resize(800, 400);
  Watch(300);  // the first frames, and the window painted whole once
  TPaintWatch watch;
  window->installEventFilter(&watch);
  const std::vector<TPainted> painted = Watch(700);
  window->removeEventFilter(&watch);
  ASSERT_GE(painted.size(), 2u);
  ASSERT_FALSE(watch.rects.empty());
  TViewState view = state.View;
  TDrawRect r;
  ASSERT_TRUE(PlaceImage(window->Frame().width(), window->Frame().height(), 40, 30, view, r));
  const QRect place(r.x, r.y, r.width, r.height);
  ASSERT_LT(place.width(), window->width());
  // The bands beside the picture are never painted again (but for the pixel
  // a part is widened by), and most frames change only a part of the
  // picture (each frame is checked whole by the tests of play).
  int parts = 0;
  for (const QRect& rect : watch.rects) {
    EXPECT_TRUE(place.adjusted(-1, -1, 1, 1).contains(rect))
        << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
    if (rect.width() * rect.height() < place.width() * place.height() / 2) ++parts;
  }
  EXPECT_GE(parts, 2);
}

TEST_F(TfmainAnimationTest, TextOverThePictureStaysOnEveryFrame) {
  const QString gif = MakeGif();
  ASSERT_FALSE(gif.isEmpty());
  Open(gif);
  state.Settings.AlwaysShowFilename = true;  // a banner at the top, over the picture
  const std::vector<TPainted> painted = Watch(700);
  ASSERT_GE(painted.size(), 3u);
  for (const TPainted& p : painted) {
    int banner = 0;
    for (int y = 0; y < p.frame.height() / 4; ++y)
      for (int x = 0; x < p.frame.width(); ++x) banner += p.frame.pixel(x, y) == FileNameBackground.rgb();
    EXPECT_GT(banner, 50) << "frame " << p.index << " at " << p.ms << " ms";
  }
}

// The worker serves the frames while the animation plays: a decode ahead
// would stop it for as long as a large picture takes. Once it has ended the
// next picture is decoded ahead as after any other.
TEST_F(TfmainAnimationTest, NothingIsDecodedAheadUntilTheAnimationEnds) {
  const QString gif = MakeGif();
  ASSERT_FALSE(gif.isEmpty());
  const QString once = dir.File("b-once.gif"), next = dir.File("f0.png");
  ASSERT_TRUE(RunTool(ImageMagick, {gif, "-loop", "2", once}));  // three plays, 1.29 s
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  Open(once);
  Watch(500);
  ASSERT_TRUE(window->Animation().Active());
  EXPECT_FALSE(window->Animation().Ended());
  EXPECT_FALSE(client.Kept().Holds(QFile::encodeName(next).toStdString()));
  Watch(1300);
  ASSERT_TRUE(window->Animation().Ended());
  EXPECT_TRUE(client.Kept().Holds(QFile::encodeName(next).toStdString()));
}

TEST_F(TfmainAnimationTest, StillGifAndWebpShowAsBefore) {
  for (FREE_IMAGE_FORMAT fif : {FIF_GIF, FIF_WEBP}) {
    const QString path = dir.File(fif == FIF_GIF ? "still.gif" : "still.webp");
    FIBITMAP* dib = testimg::Solid24(8, 6, 0x2040C0);
    if (fif == FIF_GIF) {
      FIBITMAP* indexed = FreeImage_ColorQuantize(dib, FIQ_WUQUANT);
      TFreeBitmap{dib}.Clear();
      dib = indexed;
    }
    ASSERT_TRUE(testimg::Save(dib, fif, path));
    Open(path);
    EXPECT_EQ(window->Document().AnimationFrames, 0u) << qPrintable(path);
    EXPECT_FALSE(window->Animation().Active()) << qPrintable(path);
    EXPECT_EQ(window->Bitmap().Width(), 8u) << qPrintable(path);
  }
}

TEST_F(TfmainAnimationTest, SteppingAwayStopsAtOnceAndAnEditShowsTheChangedFirstFrame) {
  const QString gif = MakeGif();
  ASSERT_FALSE(gif.isEmpty());
  Open(gif);
  Watch(200);
  ASSERT_GE(window->Animation().ShownIndex(), 0);
  Run("AcNext");  // a frame the GIF was made of
  EXPECT_NE(Shown(), QStringLiteral("anim.gif"));
  EXPECT_FALSE(window->Animation().Active());
  EXPECT_TRUE(Watch(300).empty());

  Run("AcPrev");
  Watch(200);
  ASSERT_TRUE(window->Animation().Active());
  Run("acConvertToGrayScale");
  EXPECT_FALSE(window->Animation().Active());
  // The grey first frame, red as grey, wherever the picture is.
  const QImage frame = window->Frame();
  const QRgb centre = frame.pixel(frame.width() / 2, frame.height() / 2);
  EXPECT_EQ(qRed(centre), qGreen(centre));
  EXPECT_EQ(qGreen(centre), qBlue(centre));
  EXPECT_NE(centre, BackgroundColor);
  EXPECT_TRUE(Watch(300).empty());
}

TEST_F(TfmainAnimationTest, HostileAnimationPlaysWithinBoundsWithoutFreezing) {
  // 65,535 frames of no delay, each larger than the 2 x 2 screen.
  std::vector<testgif::TFrame> frames(65535);
  for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = {0, 0, 4, 4, unsigned(i % 3), 0, 1};
  const QString path = dir.File("hostile.gif");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(testgif::Animation(2, 2, {0xFF0000, 0x00FF00, 0x0000FF}, frames));
  file.close();
  Open(path);
  ASSERT_TRUE(window->Animation().Active());
  QElapsedTimer clock;
  clock.start();
  qint64 longestGap = 0, last = 0;
  std::size_t mostKept = 0;
  while (clock.elapsed() < 700) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    longestGap = std::max(longestGap, clock.elapsed() - last);
    last = clock.elapsed();
    mostKept = std::max(mostKept, window->Animation().KeptFrames());
    QThread::usleep(500);
  }
  // Zero delays show for 100 ms each.
  EXPECT_GE(window->Animation().ShownIndex(), 3);
  EXPECT_LE(window->Animation().ShownIndex(), 9);
  EXPECT_LE(mostKept, TAnimationPlayer::FramesAhead + 1);
  EXPECT_LT(longestGap, 250);
}

}  // namespace
