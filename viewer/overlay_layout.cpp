#include "viewer/overlay_layout.h"

#include "folder/file_path.h"
#include "platform/folder_enum.h"
#include "viewer/metadata_lines.h"

namespace {

struct TKeywordColour {
  const char* keyword;
  QColor colour;
};

// Checked in this order; a later match overrides an earlier one.
constexpr TKeywordColour KeywordColours[] = {
    {"iso", QColor(255, 119, 0)},       {"focus", QColor(119, 255, 0)},     {"shutter", QColor(119, 187, 102)},
    {"speed", QColor(119, 187, 102)},   {"aperture", QColor(17, 187, 136)}, {"exposure", QColor(48, 144, 255)},
    {"balance", QColor(204, 128, 204)}, {"zoom", QColor(32, 255, 32)},      {"stabilization", QColor(144, 115, 51)},
};

constexpr int MetadataTopRow = 10;
constexpr int MetadataLineHeight = 16;
constexpr int MetadataColumnWidth = 300;
constexpr int MetadataLeft = 16;
constexpr int MetadataBottomMargin = 240;  // above the toolbar panel
constexpr int FileFactsLeft = 20;
constexpr int FileNameTop = 5;
constexpr int HintAbovePanel = 20;
constexpr int LoadProblemGap = 8;  // between it and a message under it

}  // namespace

QColor MetadataLineColor(const QString& line) {
  const QString lower = AsciiLowerCase(line);
  QColor colour = OverlaySilver;
  for (const TKeywordColour& k : KeywordColours)
    if (lower.contains(QLatin1String(k.keyword))) colour = k.colour;
  return colour;
}

TMetadataColumns::TMetadataColumns(int clientHeight, int bevelHeight)
    : FBottom(clientHeight - bevelHeight - MetadataBottomMargin), FRow(MetadataTopRow) {}

QPoint TMetadataColumns::Next() {
  if (FBottom < FRow) {
    FRow = MetadataTopRow;
    ++FColumn;
  }
  FRow += MetadataLineHeight;
  return QPoint(FColumn * MetadataColumnWidth + MetadataLeft, FRow);
}

QString DisplayExtension(const QString& path) {
  QString ext = ExtractFileExt(path);
  if (ext.size() > 1 && ext.startsWith(u'.')) ext.remove(0, 1);
  return ext.toUpper();
}

std::vector<TOverlayText> FileFactTexts(unsigned width, unsigned height, unsigned bpp, qint64 size, const QString& path,
                                        int clientHeight, int bevelHeight) {
  const int panelTop = clientHeight - bevelHeight;
  auto fact = [&](int above, const QString& text, QColor colour) {
    return TOverlayText{TOverlayLayer::FileFact, FileFactsLeft, panelTop - above, text, OverlayBlack, colour};
  };
  return {
      fact(120, QStringLiteral(" Resolution: %1 x %2 px   %3 bit").arg(width).arg(height).arg(bpp),
           QColor(208, 224, 64)),
      fact(100, QStringLiteral(" Size: %1 KB (%2 bytes) ").arg(size / 1024).arg(size), QColor(203, 224, 0)),
      fact(80, QStringLiteral(" Format: %1 ").arg(DisplayExtension(path)), QColor(79, 139, 117)),
      fact(60, QStringLiteral(" File Name: %1 ").arg(path), QColor(48, 162, 123)),
  };
}

bool AnyOverlay(const TOverlayInput& in) {
  return in.bShowFileInfo || in.bAlwaysShowFilename || !in.sLoadProblem.isEmpty() ||
         (!in.sMessage.isEmpty() && in.TmrMessage > 0) || !in.hint.isEmpty();
}

TOverlayLayout LayoutOverlays(const TOverlayInput& in, const TTextMeasure& measure) {
  TOverlayLayout layout;
  if (!AnyOverlay(in)) return layout;
  const int cw = in.clientWidth;
  const int ch = in.clientHeight;

  if (in.bShowFileInfo) {
    TMetadataColumns columns(ch, in.bevelHeight);
    for (const QString& line : CollectAllMetadataLines(in.working)) {
      const QPoint at = columns.Next();
      layout.texts.push_back(
          {TOverlayLayer::Metadata, at.x(), at.y(), line, OverlayBlack, MetadataLineColor(line), MetadataLineWidth});
    }
    const bool has = in.working != nullptr;
    for (TOverlayText& fact :
         FileFactTexts(has ? FreeImage_GetWidth(in.working) : 0, has ? FreeImage_GetHeight(in.working) : 0,
                       has ? FreeImage_GetBPP(in.working) : 0, GetFileSize64(in.sCurrentFile), in.sCurrentFile, ch,
                       in.bevelHeight))
      layout.texts.push_back(std::move(fact));
  }

  if (in.bAlwaysShowFilename) {
    const QString name = ExtractFileName(in.sCurrentFile);
    const QSize size = measure(name, false);
    layout.texts.push_back(
        {TOverlayLayer::FileName, (cw - size.width()) / 2 + 1, FileNameTop, name, FileNameBackground, BannerTextColor});
  }

  const bool messageUp = !in.sMessage.isEmpty() && in.TmrMessage > 0;
  if (!in.sLoadProblem.isEmpty()) {
    const QSize size = measure(in.sLoadProblem, false);
    const int y = (ch - size.height()) / 2 - (messageUp ? size.height() + LoadProblemGap : 0);
    layout.texts.push_back(
        {TOverlayLayer::LoadProblem, (cw - size.width()) / 2, y, in.sLoadProblem, MessageBackground, BannerTextColor});
  }

  if (messageUp) {
    const QSize size = measure(in.sMessage, false);
    layout.texts.push_back({TOverlayLayer::Message, (cw - size.width()) / 2, (ch - size.height()) / 2, in.sMessage,
                            MessageBackground, BannerTextColor});
  }

  if (!in.hint.isEmpty()) {
    const QSize size = measure(in.hint, true);
    layout.hint = THintText{(cw - size.width()) / 2, ch - in.bevelHeight - HintAbovePanel, in.hint};
  }
  return layout;
}
