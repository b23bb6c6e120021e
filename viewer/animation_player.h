#pragma once

// Plays an animation whose frames come one at a time from a frame source
// (the decoding worker): which frame is on show, when the next one is due,
// and the frames kept meanwhile. No window and no clock of its own: the
// window calls Tick with the time and repaints when the frame changed.

#include "platform/free_bitmap.h"
#include "viewer/frame_change.h"

#include <cstdint>
#include <map>
#include <optional>

// Where the frames come from, one request at a time.
class TFrameSource {
public:
  enum class TAnswer {
    Waiting,  // the request is under way
    Ready,    // frame and delayMs hold the frame; plays how often the whole runs (0: for ever)
    Failed,   // the frame could not be decoded
    Lost,     // the request was dropped unanswered: ask again
  };
  virtual ~TFrameSource() = default;
  // Asks for frame index; false when the source cannot take it now.
  virtual bool Request(unsigned index) = 0;
  // The state of the request under way.
  virtual TAnswer Poll(TFreeBitmap& frame, unsigned& delayMs, unsigned& plays) = 0;
  // Forgets the request under way; its answer, if it comes, is dropped.
  virtual void Cancel() = 0;
};

class TAnimationPlayer {
public:
  // Frames decoded ahead of the one on show.
  static constexpr unsigned FramesAhead = 3;
  // Every frame is kept while all of them fit in this: looping then decodes
  // nothing again. Beyond it only the frames ahead are kept. Frames differ
  // in size (a compact frame may be followed by a full-colour one), so the
  // bound is held by the bytes kept, not foretold from the first frame.
  static constexpr std::uint64_t KeepAllBytes = 8ull << 20;
  static constexpr unsigned KeepAllFrames = 1024;
  // How often the source is asked whether its answer came.
  static constexpr int PollMs = 4;

  explicit TAnimationPlayer(TFrameSource& source) : FSource(source) {}

  // Plays frameCount frames from the first, as often as the frames say.
  void Start(unsigned frameCount);
  // Nothing on show any more and nothing asked for.
  void Stop();
  // Started and not stopped: a frame is on show or coming.
  bool Active() const { return FActive; }
  // The frame on show, or null before the first came (and after Stop).
  const TFreeBitmap* Shown() const;
  int ShownIndex() const { return FShown; }
  // Past the last play, or stopped at a frame that failed: the last good
  // frame stays on show and nothing more is asked for.
  bool Ended() const { return FEnded; }

  // What changed from the frame shown before the one on show, for a window
  // that still shows that frame (version: its TFreeBitmap::Version): the
  // area of the pixels that differ, empty when none do. Null when the window
  // shows another, or the two cannot be compared: all of it changed then.
  std::optional<TPixelArea> ChangeFrom(std::uint64_t version) const {
    return version != 0 && version == FChangedFrom ? FChange : std::nullopt;
  }

  // Takes the source's answer, shows the next frame if it is due and there,
  // and asks for the next frame missing. True when the frame on show changed.
  bool Tick(std::int64_t nowMs);
  // Milliseconds until Tick has something to do; -1: nothing ever.
  int NextTickMs(std::int64_t nowMs) const;

  // Frames kept now, and requests sent since Start (for the tests and the benchmark).
  std::size_t KeptFrames() const { return FFrames.size(); }
  std::uint64_t KeptBytes() const { return FKeptBytes; }
  unsigned Requests() const { return FRequests; }

private:
  struct TFrame {
    TFreeBitmap bitmap;
    unsigned delayMs = 0;
    std::uint64_t bytes = 0;  // the memory it takes
  };
  unsigned Next(unsigned index) const { return (index + 1) % FCount; }
  void TakeAnswer();
  void Show(unsigned index, std::int64_t nowMs);
  void Keep(unsigned index, TFreeBitmap bitmap, unsigned delayMs);
  void DropFramesBehind();
  void AskForMissing();

  TFrameSource& FSource;
  bool FActive = false;
  bool FEnded = false;
  unsigned FCount = 0;
  unsigned FPlays = 0;
  unsigned FPlaysDone = 0;
  int FShown = -1;
  std::int64_t FDue = 0;              // when the frame after FShown is to show
  std::optional<unsigned> FAsked;     // the frame under way
  bool FRefused = false;              // the source could not take the last request
  std::optional<unsigned> FFailedAt;  // the frame that did not decode: the play ends before it
  bool FKeepAll = false;              // every frame is kept: false for good once they outgrow the bound
  bool FFirstAnswer = false;          // FPlays was taken from the first frame's answer
  std::uint64_t FKeptBytes = 0;
  std::uint64_t FChangedFrom = 0;     // the version of the frame shown before FShown
  std::optional<TPixelArea> FChange;  // what differs from it
  std::map<unsigned, TFrame> FFrames;
  unsigned FRequests = 0;
};
