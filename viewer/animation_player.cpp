#include "viewer/animation_player.h"

#include <algorithm>

void TAnimationPlayer::Start(unsigned frameCount) {
  Stop();
  if (frameCount < 2) return;
  FActive = true;
  FCount = frameCount;
  FKeepAll = FCount <= KeepAllFrames;
  AskForMissing();
}

void TAnimationPlayer::Stop() {
  if (FAsked) FSource.Cancel();
  FAsked.reset();
  FActive = FEnded = FKeepAll = FFirstAnswer = FRefused = false;
  FKeptBytes = 0;
  FCount = FPlays = FPlaysDone = FRequests = 0;
  FShown = -1;
  FChangedFrom = 0;
  FChange.reset();
  FFailedAt.reset();
  FFrames.clear();
}

const TFreeBitmap* TAnimationPlayer::Shown() const {
  if (FShown < 0) return nullptr;
  const auto found = FFrames.find(unsigned(FShown));
  return found == FFrames.end() ? nullptr : &found->second.bitmap;
}

void TAnimationPlayer::TakeAnswer() {
  if (!FAsked) return;
  TFreeBitmap bitmap;
  unsigned delayMs = 0;
  unsigned plays = 0;
  switch (FSource.Poll(bitmap, delayMs, plays)) {
    case TFrameSource::TAnswer::Waiting: return;
    case TFrameSource::TAnswer::Lost: break;
    case TFrameSource::TAnswer::Failed: FFailedAt = *FAsked; break;
    case TFrameSource::TAnswer::Ready:
      if (!bitmap.IsValid()) {
        FFailedAt = *FAsked;
        break;
      }
      if (!FFirstAnswer) {
        FFirstAnswer = true;
        FPlays = plays;
      }
      Keep(*FAsked, std::move(bitmap), delayMs);
      break;
  }
  FAsked.reset();
}

void TAnimationPlayer::Keep(unsigned index, TFreeBitmap bitmap, unsigned delayMs) {
  // Mapped frames take whole pages each, their description one more.
  const std::uint64_t bytes =
      (std::uint64_t(FreeImage_GetPitch(bitmap.Dib())) * bitmap.Height() + 4095) / 4096 * 4096 + 4096;
  TFrame& frame = FFrames[index];
  FKeptBytes = FKeptBytes - frame.bytes + bytes;
  frame = TFrame{std::move(bitmap), std::max(1u, delayMs), bytes};
  if (FKeepAll && FKeptBytes > KeepAllBytes) FKeepAll = false;
}

void TAnimationPlayer::Show(unsigned index, std::int64_t nowMs) {
  const TFrame& frame = FFrames.at(index);
  const unsigned delay = frame.delayMs;
  // The frame before is still kept here: frames are dropped after the show.
  const auto before = FShown < 0 ? FFrames.end() : FFrames.find(unsigned(FShown));
  FChangedFrom = before == FFrames.end() ? 0 : before->second.bitmap.Version();
  FChange = FChangedFrom ? ChangedArea(before->second.bitmap.Dib(), frame.bitmap.Dib()) : std::nullopt;
  // Late by a whole delay (the window was hidden, the worker slow): the
  // pace starts again from now rather than racing to catch up.
  FDue = FShown < 0 || nowMs - FDue >= std::int64_t(delay) ? nowMs + delay : FDue + delay;
  FShown = int(index);
}

bool TAnimationPlayer::Tick(std::int64_t nowMs) {
  if (!FActive) return false;
  TakeAnswer();
  bool changed = false;
  if (!FEnded) {
    if (FShown < 0) {
      if (FFrames.count(0)) {
        Show(0, nowMs);
        changed = true;
      } else if (FFailedAt) {
        FEnded = true;  // not even the first frame: the working image stays
      }
    } else if (nowMs >= FDue) {
      const unsigned next = Next(unsigned(FShown));
      const bool wraps = next == 0;
      if ((wraps && FPlays > 0 && FPlaysDone + 1 >= FPlays) || FFailedAt == next) {
        FEnded = true;  // the frame on show stays
      } else if (FFrames.count(next)) {
        if (wraps) ++FPlaysDone;
        Show(next, nowMs);
        changed = true;
      }
    }
  }
  if (FEnded) {
    if (FAsked) FSource.Cancel();
    FAsked.reset();
    FRefused = false;
  }
  DropFramesBehind();
  if (!FEnded) AskForMissing();
  return changed;
}

void TAnimationPlayer::DropFramesBehind() {
  if (FKeepAll) return;
  const unsigned from = FShown < 0 ? 0 : unsigned(FShown);
  for (auto it = FFrames.begin(); it != FFrames.end();) {
    const unsigned ahead = (it->first + FCount - from) % FCount;
    if (ahead > FramesAhead) {
      FKeptBytes -= it->second.bytes;
      it = FFrames.erase(it);
    } else {
      ++it;
    }
  }
}

void TAnimationPlayer::AskForMissing() {
  FRefused = false;
  if (FAsked) return;
  const unsigned first = FShown < 0 ? 0 : Next(unsigned(FShown));
  for (unsigned i = 0; i < FramesAhead && i < FCount; ++i) {
    const unsigned index = (first + i) % FCount;
    if (FFrames.count(index)) continue;
    if (FFailedAt == index) return;  // the play ends there
    FRefused = !FSource.Request(index);
    if (!FRefused) {
      FAsked = index;
      ++FRequests;
    }
    return;
  }
}

int TAnimationPlayer::NextTickMs(std::int64_t nowMs) const {
  if (!FActive || FEnded) return -1;
  const bool nextThere =
      FShown >= 0 && (FFrames.count(Next(unsigned(FShown))) > 0 || FFailedAt == Next(unsigned(FShown)));
  // The next frame is there: an answer under way, or a request the source
  // could not take yet, waits until then, so that the window wakes once a
  // frame. Without it, the source is asked again soon.
  return nextThere ? int(std::clamp<std::int64_t>(FDue - nowMs, 0, 1 << 30)) : PollMs;
}
