// The composed frames of animated GIF and WebP files, against ImageMagick's
// coalesced frames, and the hostile files that must not hurt the source.

#include "decoder/animation_frames.h"
#include "platform/free_bitmap.h"

#include "support/gif_bytes.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

using decoder::OpenAnimation;
using decoder::TAnimationFrames;
using decoder::TAnimationKind;

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

struct TBitmapFree {
  void operator()(FIBITMAP* dib) const { TFreeBitmap{dib}.Clear(); }
};
using TBitmap = std::unique_ptr<FIBITMAP, TBitmapFree>;

struct TOpened {
  TAnimationKind kind = TAnimationKind::Other;
  std::unique_ptr<TAnimationFrames> frames;
};

TOpened Open(const QString& path) {
  TOpened opened;
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  EXPECT_GE(fd, 0) << qPrintable(path);
  if (fd < 0) return opened;
  opened.frames = OpenAnimation(fd, opened.kind);
  ::close(fd);  // the source reads through its own descriptor
  return opened;
}

// Pixels as 8-bit BGRA, rows from the top.
std::vector<std::uint8_t> Pixels(FIBITMAP* dib) {
  std::vector<std::uint8_t> out;
  const unsigned w = FreeImage_GetWidth(dib), h = FreeImage_GetHeight(dib);
  for (unsigned y = 0; y < h; ++y) {
    const BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(h - 1 - y));
    out.insert(out.end(), row, row + w * 4);
  }
  return out;
}

// Every pixel alike; a transparent pixel's colour does not count.
void ExpectSameFrame(FIBITMAP* expected, FIBITMAP* actual, const std::string& where) {
  ASSERT_TRUE(actual) << where;
  ASSERT_EQ(FreeImage_GetBPP(actual), 32u) << where;
  ASSERT_EQ(FreeImage_GetWidth(actual), FreeImage_GetWidth(expected)) << where;
  ASSERT_EQ(FreeImage_GetHeight(actual), FreeImage_GetHeight(expected)) << where;
  const auto want = Pixels(expected), got = Pixels(actual);
  const unsigned w = FreeImage_GetWidth(expected);
  int wrong = 0;
  for (std::size_t i = 0; i < want.size() && wrong < 5; i += 4) {
    const bool same = want[i + 3] == got[i + 3] && (want[i + 3] == 0 || std::equal(&want[i], &want[i + 3], &got[i]));
    if (same) continue;
    ++wrong;
    ADD_FAILURE() << where << " at (" << (i / 4) % w << ", " << (i / 4) / w << "): want BGRA " << int(want[i]) << ","
                  << int(want[i + 1]) << "," << int(want[i + 2]) << "," << int(want[i + 3]) << " got " << int(got[i])
                  << "," << int(got[i + 1]) << "," << int(got[i + 2]) << "," << int(got[i + 3]);
  }
}

// A 40 x 30 animation of four frames: an opaque red screen (kept, 200 ms);
// a blue frame whose right half is clear, at +5+5 (restores the screen
// before it, no delay); a green one at +20+15 (cleared to the background,
// 50 ms); a small yellow one at +2+20 (kept, 10 ms).
QString MakeGif(const TempFolder& dir) {
  const QString f0 = dir.File("f0.png"), f1 = dir.File("f1.png"), f2 = dir.File("f2.png"), f3 = dir.File("f3.png");
  const QString gif = dir.File("anim.gif");
  const bool made =
      RunTool(ImageMagick, {"-size", "40x30", "xc:red", f0}) &&
      RunTool(ImageMagick, {"-size", "20x10", "xc:none", "-fill", "blue", "-draw", "rectangle 0,0 9,9", f1}) &&
      RunTool(ImageMagick, {"-size", "12x8", "xc:lime", f2}) &&
      RunTool(ImageMagick, {"-size", "6x6", "xc:yellow", f3}) &&
      RunTool(ImageMagick, {"-dispose", "None",       "-delay", "20", "-page", "40x30+0+0",   f0,
                            "-dispose", "Previous",   "-delay", "0",  "-page", "40x30+5+5",   f1,
                            "-dispose", "Background", "-delay", "5",  "-page", "40x30+20+15", f2,
                            "-dispose", "None",       "-delay", "1",  "-page", "40x30+2+20",  f3,
                            "-loop",    "0",          gif});
  return made ? gif : QString();
}

// The same frames as a WebP whose frames img2webp places and blends itself,
// played three times, with delays of 200, 0, 50 and 7 ms.
QString MakeWebp(const TempFolder& dir, const QString& gif) {
  const QString coalesced = dir.File("c_%d.png"), webp = dir.File("made.webp"), out = dir.File("anim.webp");
  const bool made =
      RunTool(ImageMagick, {gif, "-coalesce", "PNG32:" + coalesced}) &&
      RunTool("img2webp", {"-loop", "3", "-lossless", "-d", "200", dir.File("c_0.png"), "-d", "1", dir.File("c_1.png"),
                           "-d", "50", dir.File("c_2.png"), "-d", "7", dir.File("c_3.png"), "-o", webp}) &&
      RunTool("webpmux", {"-duration", "0,2", webp, "-o", out});
  return made ? out : QString();
}

// ImageMagick's coalesced frames of path, in order.
std::vector<TBitmap> Coalesced(const TempFolder& dir, const QString& path, unsigned count) {
  std::vector<TBitmap> frames;
  const QString pattern = dir.File(QFileInfo(path).fileName() + "_ref_%d.png");
  if (!RunTool(ImageMagick, {path, "-coalesce", "PNG32:" + pattern})) return frames;
  for (unsigned i = 0; i < count; ++i)
    frames.emplace_back(
        FreeImage_Load(FIF_PNG, QFile::encodeName(pattern.arg(i).replace("%d", QString::number(i))).constData()));
  return frames;
}

// Plays every frame in order, then again from the start after the last, and
// asks for frames out of order: each time the frame ImageMagick coalesces
// from reference, and its delay.
void ExpectPlaysLikeImageMagick(const TempFolder& dir, const QString& path, const QString& reference,
                                const std::vector<unsigned>& delays, unsigned plays) {
  ASSERT_FALSE(path.isEmpty());
  TOpened opened = Open(path);
  ASSERT_EQ(opened.kind, TAnimationKind::Animation);
  ASSERT_TRUE(opened.frames);
  const decoder::TAnimationFacts facts = opened.frames->Facts();
  EXPECT_EQ(facts.width, 40u);
  EXPECT_EQ(facts.height, 30u);
  EXPECT_EQ(facts.plays, plays);
  ASSERT_EQ(facts.frameCount, delays.size());
  const std::vector<TBitmap> want = Coalesced(dir, reference, facts.frameCount);
  ASSERT_EQ(want.size(), delays.size());
  const unsigned order[] = {0, 1, 2, 3, 0, 1, 2, 3, 2, 0, 3, 3, 1};
  for (unsigned index : order) {
    unsigned delay = 0;
    const TBitmap frame(opened.frames->Frame(index, delay));
    const std::string where = QFileInfo(path).fileName().toStdString() + " frame " + std::to_string(index);
    ASSERT_TRUE(want[index]) << where;
    ExpectSameFrame(want[index].get(), frame.get(), where);
    EXPECT_EQ(delay, delays[index]) << where;
  }
  unsigned delay = 0;
  EXPECT_EQ(opened.frames->Frame(4, delay), nullptr);
}

TEST(AnimationFrames, GifFramesAreComposedAsImageMagickCoalescesThem) {
  TempFolder dir;
  // No delay and 10 ms are shown at 100 ms.
  const QString gif = MakeGif(dir);
  ExpectPlaysLikeImageMagick(dir, gif, gif, {200, 100, 50, 100}, 0);
}

TEST(AnimationFrames, WebpFramesAreComposedAsImageMagickCoalescesThem) {
  TempFolder dir;
  const QString gif = MakeGif(dir);
  ASSERT_FALSE(gif.isEmpty());
  // Against the GIF's frames, which the WebP holds losslessly: ImageMagick 6
  // blends a WebP frame that is to replace what lies below (the last one
  // here, which clears the green frame's place).
  ExpectPlaysLikeImageMagick(dir, MakeWebp(dir, gif), gif, {200, 100, 50, 100}, 3);
}

// The frames' depth as they go to the viewer: 8 bits where one palette
// tells every pixel of the screen, else 32.
std::vector<unsigned> CompactDepths(const QString& path) {
  std::vector<unsigned> depths;
  TOpened opened = Open(path);
  if (!opened.frames) return depths;
  for (unsigned i = 0; i < opened.frames->Facts().frameCount; ++i) {
    unsigned delay = 0;
    const TBitmap frame(opened.frames->CompactFrame(i, delay));
    depths.push_back(frame ? FreeImage_GetBPP(frame.get()) : 0);
  }
  return depths;
}

TEST(AnimationFrames, FramesGoAsEightBitsWhileOnePaletteHoldsTheScreen) {
  TempFolder dir;
  // Interlaced, each frame with its own colours: a whole screen (one
  // palette), a small frame over it (two), a whole screen again, a small one.
  const QString f0 = dir.File("g0.png"), f1 = dir.File("g1.png"), f2 = dir.File("g2.png"), f3 = dir.File("g3.png");
  const QString mixed = dir.File("mixed.gif");
  ASSERT_TRUE(RunTool(ImageMagick, {"-size", "40x30", "gradient:red-blue", f0}) &&
              RunTool(ImageMagick, {"-size", "10x8", "xc:lime", f1}) &&
              RunTool(ImageMagick, {"-size", "40x30", "gradient:yellow-black", f2}) &&
              RunTool(ImageMagick, {"-size", "6x6", "xc:orange", f3}) &&
              RunTool(ImageMagick,
                      {"-interlace", "GIF",   "-dispose",    "None", "-delay", "20", "-page", "40x30+0+0", f0, "-delay",
                       "5",          "-page", "40x30+5+5",   f1,     "-delay", "7",  "-page", "40x30+0+0", f2, "-delay",
                       "30",         "-page", "40x30+30+20", f3,     "-loop",  "0",  mixed}));
  ExpectPlaysLikeImageMagick(dir, mixed, mixed, {200, 50, 70, 300}, 0);
  EXPECT_EQ(CompactDepths(mixed), (std::vector<unsigned>{8, 32, 8, 32}));

  // Small frames of the global palette over a whole first one stay 8 bits.
  const std::vector<testgif::TFrame> frames{
      {0, 0, 40, 30, 0, 20, 1}, {5, 5, 10, 10, 1, 30, 1}, {20, 10, 8, 8, 2, 40, 1}, {1, 1, 3, 3, 3, 50, 1}};
  const QString global =
      dir.Write("global.gif", testgif::Animation(40, 30, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, frames));
  ExpectPlaysLikeImageMagick(dir, global, global, {200, 300, 400, 500}, 0);
  EXPECT_EQ(CompactDepths(global), (std::vector<unsigned>{8, 8, 8, 8}));
}

TEST(AnimationFrames, DelaysOfTenMillisecondsAndLessAreShownAsOneTenthOfASecond) {
  EXPECT_EQ(decoder::ShownDelay(0), 100u);
  EXPECT_EQ(decoder::ShownDelay(10), 100u);
  EXPECT_EQ(decoder::ShownDelay(20), 20u);
  EXPECT_EQ(decoder::ShownDelay(5000), 5000u);
}

TEST(AnimationFrames, StillPicturesAndOtherFormatsAreNotAnimations) {
  TempFolder dir;
  const QString png = dir.File("still.png"), gif = dir.File("still.gif"), webp = dir.File("still.webp");
  ASSERT_TRUE(RunTool(ImageMagick, {"-size", "8x8", "xc:red", png}));
  ASSERT_TRUE(RunTool(ImageMagick, {png, gif}));
  ASSERT_TRUE(RunTool("cwebp", {"-quiet", "-lossless", png, "-o", webp}));
  EXPECT_EQ(Open(gif).kind, TAnimationKind::Still);
  EXPECT_EQ(Open(webp).kind, TAnimationKind::Still);
  EXPECT_EQ(Open(png).kind, TAnimationKind::Other);
  const QString one = dir.File("one.webp");
  ASSERT_TRUE(RunTool("img2webp", {"-lossless", png, "-o", one}));  // an animation of one frame
  EXPECT_EQ(Open(one).kind, TAnimationKind::Still);
}

}  // namespace

namespace {

void PutWord(QByteArray& bytes, unsigned value) {
  bytes.append(char(value & 0xFF));
  bytes.append(char(value >> 8 & 0xFF));
}

// A GIF screen of width x height with a palette of black and white.
QByteArray GifScreen(unsigned width, unsigned height) {
  QByteArray gif("GIF89a");
  PutWord(gif, width);
  PutWord(gif, height);
  gif.append(
      QByteArray::fromHex("800000"
                          "000000"
                          "ffffff"));
  return gif;
}

// A frame at left, top, of width x height, whose data holds a single white
// pixel (all of a 1 x 1 frame, the start of a larger one).
void AddGifFrame(QByteArray& gif, unsigned left, unsigned top, unsigned width, unsigned height, int disposal,
                 unsigned delayCs) {
  gif.append(QByteArray::fromHex("21f904"));
  gif.append(char(disposal << 2));
  PutWord(gif, delayCs);
  gif.append(
      QByteArray::fromHex("0000"
                          "2c"));
  PutWord(gif, left);
  PutWord(gif, top);
  PutWord(gif, width);
  PutWord(gif, height);
  gif.append(
      QByteArray::fromHex("00"
                          "02"
                          "024c01"
                          "00"));
}

unsigned Alpha(FIBITMAP* dib, unsigned x, unsigned y) {
  return FreeImage_GetScanLine(dib, static_cast<int>(FreeImage_GetHeight(dib) - 1 - y))[x * 4 + FI_RGBA_ALPHA];
}

TEST(AnimationFramesHostile, SixtyFiveThousandFramesPlayOneAtATime) {
  TempFolder dir;
  QByteArray gif = GifScreen(2, 1);
  // Each frame lights one of the two pixels and is cleared after it is shown.
  for (unsigned i = 0; i < 65535; ++i) AddGifFrame(gif, i % 2, 0, 1, 1, 2, 0);
  gif.append(';');
  TOpened opened = Open(dir.Write("many.gif", gif));
  ASSERT_EQ(opened.kind, TAnimationKind::Animation);
  ASSERT_EQ(opened.frames->Facts().frameCount, 65535u);
  unsigned delay = 0;
  const TBitmap last(opened.frames->Frame(65534, delay));
  ASSERT_TRUE(last);
  EXPECT_EQ(delay, 100u);
  EXPECT_EQ(Alpha(last.get(), 0, 0), 255u);
  EXPECT_EQ(Alpha(last.get(), 1, 0), 0u);
  const TBitmap second(opened.frames->Frame(1, delay));
  ASSERT_TRUE(second);
  EXPECT_EQ(Alpha(second.get(), 0, 0), 0u);
  EXPECT_EQ(Alpha(second.get(), 1, 0), 255u);
}

TEST(AnimationFramesHostile, FramesBeyondTheScreenAreClippedOrRefused) {
  TempFolder dir;
  QByteArray gif = GifScreen(4, 3);
  AddGifFrame(gif, 0, 0, 1, 1, 0, 10);
  AddGifFrame(gif, 1, 1, 300, 200, 0, 10);      // larger than the screen, its data cut short
  AddGifFrame(gif, 60000, 60000, 1, 1, 0, 10);  // wholly outside it
  AddGifFrame(gif, 3, 2, 65535, 65535, 0, 10);  // beyond any picture's size
  gif.append(';');
  TOpened opened = Open(dir.Write("outside.gif", gif));
  ASSERT_EQ(opened.kind, TAnimationKind::Animation);
  ASSERT_EQ(opened.frames->Facts().frameCount, 4u);
  unsigned delay = 0;
  for (unsigned i = 0; i < 3; ++i) {
    const TBitmap frame(opened.frames->Frame(i, delay));
    ASSERT_TRUE(frame) << i;
    EXPECT_EQ(FreeImage_GetWidth(frame.get()), 4u);
    EXPECT_EQ(FreeImage_GetHeight(frame.get()), 3u);
    EXPECT_EQ(Alpha(frame.get(), 0, 0), 255u) << i;
    EXPECT_EQ(Alpha(frame.get(), 1, 1), i >= 1 ? 255u : 0u) << i;
  }
  EXPECT_EQ(opened.frames->Frame(3, delay), nullptr);
  // Refused, the source starts again from the first frame.
  const TBitmap first(opened.frames->Frame(0, delay));
  ASSERT_TRUE(first);
  EXPECT_EQ(Alpha(first.get(), 1, 1), 0u);
}

TEST(AnimationFramesHostile, ScreensOfNoSizeOrBeyondAnyPictureAreRefused) {
  TempFolder dir;
  const auto kindOf = [&](unsigned width, unsigned height) {
    QByteArray gif = GifScreen(width, height);
    AddGifFrame(gif, 0, 0, 1, 1, 0, 0);
    AddGifFrame(gif, 0, 0, 1, 1, 0, 0);
    gif.append(';');
    return Open(dir.Write("screen.gif", gif)).kind;
  };
  EXPECT_EQ(kindOf(0, 0), TAnimationKind::Refused);
  EXPECT_EQ(kindOf(0, 10), TAnimationKind::Refused);
  EXPECT_EQ(kindOf(60000, 60000), TAnimationKind::Refused);
  EXPECT_EQ(kindOf(60000, 1), TAnimationKind::Animation);

  // A WebP whose screen is made 60,000 pixels square: its frames still lie
  // within it, only its size is too large.
  const QString gif = MakeGif(dir);
  ASSERT_FALSE(gif.isEmpty());
  const QString webp = MakeWebp(dir, gif);
  ASSERT_FALSE(webp.isEmpty());
  QFile file(webp);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray bytes = file.readAll();
  ASSERT_EQ(bytes.mid(12, 4), "VP8X");
  for (int at : {24, 27}) bytes.replace(at, 3, QByteArray::fromHex("5fea00"));  // 59,999 + 1
  EXPECT_EQ(Open(dir.Write("huge.webp", bytes)).kind, TAnimationKind::Refused);
}

TEST(AnimationFramesHostile, EveryCutShortFilePlaysWhatItHoldsOrIsRefused) {
  TempFolder dir;
  const QString gif = MakeGif(dir);
  ASSERT_FALSE(gif.isEmpty());
  const QString webp = MakeWebp(dir, gif);
  ASSERT_FALSE(webp.isEmpty());
  for (const QString& path : {gif, webp}) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    int animations = 0;
    for (qsizetype size = 12; size < whole.size(); ++size) {
      TOpened opened = Open(dir.Write("cut", whole.left(size)));
      if (opened.kind != TAnimationKind::Animation) continue;
      ++animations;
      ASSERT_LE(opened.frames->Facts().frameCount, 4u) << size;
      for (unsigned i = 0; i < opened.frames->Facts().frameCount; ++i) {
        unsigned delay = 0;
        const TBitmap frame(opened.frames->Frame(i, delay));
        if (!frame) continue;
        EXPECT_EQ(FreeImage_GetWidth(frame.get()), 40u) << size;
        EXPECT_EQ(FreeImage_GetHeight(frame.get()), 30u) << size;
      }
    }
    // A GIF cut within its later frames still plays those before.
    if (path == gif) {
      EXPECT_GT(animations, 0);
    }
  }
}

}  // namespace
