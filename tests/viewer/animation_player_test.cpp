// The player against a fake frame source and a clock the test moves: the
// frames shown and when, the frames kept, and the endings.
#include "viewer/animation_player.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>

namespace {

// Answers each request on the next poll, or as the test scripts it.
class TFakeSource : public TFrameSource {
public:
  bool Request(unsigned index) override {
    if (busy) return false;
    asked.push_back(index);
    pending = true;
    return true;
  }
  TAnswer Poll(TFreeBitmap& frame, unsigned& delayMs, unsigned& plays) override {
    if (!pending) return TAnswer::Lost;
    if (hold) return TAnswer::Waiting;
    pending = false;
    const unsigned index = asked.back();
    if (failAt.count(index)) return TAnswer::Failed;
    const unsigned w = index >= wideFrom ? wideWidth : width;
    frame.Assign(FreeImage_Allocate(int(w), 4, index >= wideFrom ? 32 : 8));
    // One pixel of the bottom row marks the frame: column index.
    if (mark) FreeImage_GetScanLine(frame.Dib(), 0)[index % w] = 200;
    delayMs = delays[index % delays.size()];
    plays = loops;
    return TAnswer::Ready;
  }
  void Cancel() override {
    pending = false;
    ++cancels;
  }

  std::vector<unsigned> delays{100, 50, 200};
  unsigned loops = 0;
  unsigned width = 4;
  // Frames from wideFrom on are 32-bit and wideWidth wide; those before, 8-bit.
  unsigned wideFrom = ~0u, wideWidth = 4;
  bool busy = false, hold = false, pending = false, mark = false;
  std::set<unsigned> failAt;
  std::vector<unsigned> asked;
  int cancels = 0;
};

// Ticks every millisecond up to untilMs; the frame shown at each change.
std::vector<std::pair<std::int64_t, int>> Play(TAnimationPlayer& player, std::int64_t fromMs, std::int64_t untilMs) {
  std::vector<std::pair<std::int64_t, int>> shown;
  for (std::int64_t t = fromMs; t <= untilMs; ++t)
    if (player.Tick(t)) shown.emplace_back(t, player.ShownIndex());
  return shown;
}

TEST(AnimationPlayer, ShowsEachFrameForItsDelayAndLoopsWithoutDecodingAgain) {
  TFakeSource source;
  TAnimationPlayer player(source);
  player.Start(3);
  EXPECT_EQ(player.Shown(), nullptr);
  const auto shown = Play(player, 0, 1000);
  // The first frame as soon as it came (one tick for its answer), then at
  // 100, 50 and 200 ms apart.
  ASSERT_GE(shown.size(), 6u);
  const std::vector<std::pair<std::int64_t, int>> want{{0, 0}, {100, 1}, {150, 2}, {350, 0}, {450, 1}, {500, 2}};
  EXPECT_EQ(std::vector(shown.begin(), shown.begin() + 6), want);
  // Three frames fit the bound: each was decoded once.
  EXPECT_EQ(source.asked, (std::vector<unsigned>{0, 1, 2}));
  EXPECT_EQ(player.KeptFrames(), 3u);
  ASSERT_NE(player.Shown(), nullptr);
}

TEST(AnimationPlayer, FramesBeyondTheMemoryBoundAreKeptOnlyAhead) {
  TFakeSource source;
  source.width = 2048;  // 32 KiB a frame: 4,000 frames pass the bound
  TAnimationPlayer player(source);
  player.Start(4000);
  std::size_t mostKept = 0;
  for (std::int64_t t = 0; t <= 5000; ++t) {
    player.Tick(t);
    mostKept = std::max(mostKept, player.KeptFrames());
  }
  EXPECT_GE(player.ShownIndex(), 40);
  EXPECT_LE(mostKept, TAnimationPlayer::FramesAhead + 1);
}

TEST(AnimationPlayer, CompactFramesAreAllKeptAndTheBoundHoldsWhenLaterOnesAreLarger) {
  // 100 compact frames of 64 KiB: all kept, none asked for twice.
  TFakeSource compact;
  compact.width = 16384;
  compact.delays = {10};
  TAnimationPlayer all(compact);
  all.Start(100);
  Play(all, 0, 2500);
  EXPECT_GE(all.ShownIndex(), 0);
  EXPECT_EQ(compact.asked.size(), 100u);
  EXPECT_EQ(all.KeptFrames(), 100u);

  // The first frames small, the later ones 4 MiB each: the frames kept
  // outgrow the bound once and are then kept only ahead.
  TFakeSource growing;
  growing.width = 64;
  growing.wideFrom = 10;
  growing.wideWidth = 1 << 18;
  growing.delays = {10};
  TAnimationPlayer bounded(growing);
  bounded.Start(200);
  std::uint64_t mostBytes = 0;
  for (std::int64_t t = 0; t <= 3000; ++t) {
    bounded.Tick(t);
    mostBytes = std::max(mostBytes, bounded.KeptBytes());
  }
  EXPECT_GE(bounded.ShownIndex(), 20);
  // At most the bound and one frame more, or the frames ahead, whichever is larger.
  const std::uint64_t wideBytes = (4u << 20) + 4096;
  EXPECT_LE(mostBytes, std::max<std::uint64_t>(TAnimationPlayer::KeepAllBytes + wideBytes,
                                               (TAnimationPlayer::FramesAhead + 1) * wideBytes));
  EXPECT_LE(bounded.KeptFrames(), TAnimationPlayer::FramesAhead + 1);
}

TEST(AnimationPlayer, LateTicksResumeThePaceInsteadOfRacing) {
  TFakeSource source;
  source.delays = {100};
  TAnimationPlayer player(source);
  player.Start(3);
  Play(player, 0, 50);
  // Hidden for ten seconds: one frame on return, the next a delay later.
  const auto shown = Play(player, 10000, 10150);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].first, 10000);
  EXPECT_EQ(shown[1].first, 10100);
}

TEST(AnimationPlayer, StopsAfterItsPlaysAndOnAFailedFrameKeepingTheLastGoodOne) {
  TFakeSource source;
  source.loops = 2;
  source.delays = {10};
  TAnimationPlayer player(source);
  player.Start(3);
  Play(player, 0, 1000);
  EXPECT_TRUE(player.Ended());
  EXPECT_EQ(player.ShownIndex(), 2);
  EXPECT_EQ(player.NextTickMs(1000), -1);
  EXPECT_EQ(source.asked.size(), 3u);

  TFakeSource failing;
  failing.failAt = {2};
  TAnimationPlayer second(failing);
  second.Start(3);
  Play(second, 0, 1000);
  EXPECT_TRUE(second.Ended());
  EXPECT_EQ(second.ShownIndex(), 1);
  EXPECT_NE(second.Shown(), nullptr);
}

TEST(AnimationPlayer, WaitsForABusySourceAndCancelsOnStop) {
  TFakeSource source;
  source.busy = true;
  TAnimationPlayer player(source);
  player.Start(3);
  EXPECT_FALSE(player.Tick(0));
  EXPECT_EQ(player.NextTickMs(0), TAnimationPlayer::PollMs);  // it asks again soon
  source.busy = false;
  source.hold = true;
  player.Tick(4);
  EXPECT_EQ(source.asked, (std::vector<unsigned>{0}));
  EXPECT_FALSE(player.Tick(8));  // still under way
  player.Stop();
  EXPECT_EQ(source.cancels, 1);
  EXPECT_FALSE(player.Active());
  EXPECT_EQ(player.Shown(), nullptr);
  EXPECT_EQ(player.NextTickMs(8), -1);
}

TEST(AnimationPlayer, SleepsUntilTheNextFrameIsDue) {
  TFakeSource source;
  source.delays = {100};
  TAnimationPlayer player(source);
  player.Start(2);
  Play(player, 0, 10);  // frame 0 at 0; frame 1 there since
  EXPECT_EQ(player.NextTickMs(10), 90);
}

TEST(AnimationPlayer, TellsWhatChangedFromTheFrameShownBefore) {
  TFakeSource source;
  source.mark = true;
  source.width = 2048;  // beyond the bound: the frame before is dropped once the next shows
  source.wideFrom = 2;
  source.wideWidth = 1024;
  TAnimationPlayer player(source);
  player.Start(4000);
  std::int64_t t = 0;
  const auto showNext = [&] {
    const int from = player.ShownIndex();
    while (player.ShownIndex() == from && t < 2000) player.Tick(t++);
  };
  showNext();
  ASSERT_EQ(player.ShownIndex(), 0);
  const std::uint64_t first = player.Shown()->Version();
  EXPECT_FALSE(player.ChangeFrom(first));
  showNext();
  ASSERT_EQ(player.ShownIndex(), 1);
  // Frames 0 and 1 differ in their marks, at columns 0 and 1 of the bottom row.
  const std::optional<TPixelArea> change = player.ChangeFrom(first);
  ASSERT_TRUE(change);
  EXPECT_EQ(change->x0, 0);
  EXPECT_EQ(change->x1, 2);
  EXPECT_EQ(change->y0, 3);
  EXPECT_EQ(change->y1, 4);
  // A window that shows another picture, or none, paints the whole.
  EXPECT_FALSE(player.ChangeFrom(first + 1000));
  EXPECT_FALSE(player.ChangeFrom(0));
  // Frame 2 is of another size: nothing to compare with.
  const std::uint64_t second = player.Shown()->Version();
  showNext();
  ASSERT_EQ(player.ShownIndex(), 2);
  EXPECT_FALSE(player.ChangeFrom(second));
  player.Stop();
  EXPECT_FALSE(player.ChangeFrom(second));
}

}  // namespace
