#pragma once

#include <FreeImage.h>

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// Where and how every text over the picture is drawn, worked out without a
// painter so that it can be checked on its own. The painter
// (overlay_painter.h) only carries the result out.

// Measures a text as it will be drawn at the overlay size: width and height
// of its cell. bold selects the hint line's bold face.
using TTextMeasure = std::function<QSize(const QString& text, bool bold)>;

// What one frame's overlays depend on.
struct TOverlayInput {
  int clientWidth = 0;
  int clientHeight = 0;
  int bevelHeight = 0;  // height of the toolbar panel; bottom rows sit above it
  bool bShowFileInfo = false;
  bool bAlwaysShowFilename = false;
  FIBITMAP* working = nullptr;  // the working image; may be null
  QString sCurrentFile;
  QString sMessage;
  int TmrMessage = 0;    // remaining ticks; the message shows while > 0
  QString sLoadProblem;  // why the file on display shows no picture of its own; may be empty
  QString hint;          // the application's current hint text
};

inline constexpr int OverlayTextSize = 10;  // points, every overlay text
inline constexpr QColor OverlaySilver(192, 192, 192);
inline constexpr QColor OverlayBlack(0, 0, 0);
inline constexpr QColor FileNameBackground(112, 134, 86);
inline constexpr QColor MessageBackground(144, 86, 86);
inline constexpr QColor BannerTextColor(240, 242, 251);  // file name and message
inline constexpr QColor HintColor(255, 255, 255);
inline constexpr QColor HintBackground(0, 0, 0);  // the box that keeps the hint readable on any picture

// The widest a metadata line is drawn: its column less a gap before the next.
inline constexpr int MetadataLineWidth = 292;

enum class TOverlayLayer { Metadata, FileFact, FileName, Message, LoadProblem };

// One boxed text: drawn by WriteText(X, Y, str, OverlayTextSize, color, textcolor).
struct TOverlayText {
  TOverlayLayer layer;
  int X = 0;
  int Y = 0;
  QString str;
  QColor color;      // the box behind the text
  QColor textcolor;  // the glyphs
  int maxWidth = 0;  // wider texts are cut short with an ellipsis; 0: no limit
};

// The hint line: bold, silver at (X + 1, Y + 1), then white at (X, Y), over a
// box of HintBackground that covers both.
struct THintText {
  int X = 0;
  int Y = 0;
  QString str;
};

struct TOverlayLayout {
  std::vector<TOverlayText> texts;  // in drawing order
  std::optional<THintText> hint;    // drawn last; absent for an empty hint
};

// The colour of a metadata line, picked by camera-setting keywords; the last
// keyword found decides.
QColor MetadataLineColor(const QString& line);

// Places metadata lines one under another in columns 300 pixels apart that
// end 240 pixels above the toolbar panel. A line is cut short to fit its
// column (MetadataLineWidth).
class TMetadataColumns {
public:
  TMetadataColumns(int clientHeight, int bevelHeight);
  // The position of the next line.
  QPoint Next();

private:
  int FBottom;  // a line starting below this row opens a new column
  int FColumn = 0;
  int FRow = 10;
};

// The format shown for a path: its file name's extension without the dot,
// upper-cased; a lone "." stays; empty when the name has no dot.
QString DisplayExtension(const QString& path);

// The four file-fact rows (resolution, size, format, full name). size is in
// bytes, -1 for a missing file.
std::vector<TOverlayText> FileFactTexts(unsigned width, unsigned height, unsigned bpp, qint64 size, const QString& path,
                                        int clientHeight, int bevelHeight);

// Every overlay of one frame, in drawing order: metadata lines and file facts
// (when the information overlay is on), the file name at the top, the reason
// a file shows no picture in the centre, in the message's style (moved up a
// line while a message is up), the message in the centre and the hint line. Reads the working image's metadata and the
// file's size afresh on every call.
TOverlayLayout LayoutOverlays(const TOverlayInput& in, const TTextMeasure& measure);
// Whether LayoutOverlays lays out anything at all.
bool AnyOverlay(const TOverlayInput& in);
