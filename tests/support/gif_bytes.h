#pragma once

// Animated GIFs written byte by byte, for tests that need frame counts,
// delays and frame sizes no tool would write: each frame a solid colour
// index of the global palette, its pixels coded as literals only.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace testgif {

struct TFrame {
  unsigned left = 0, top = 0, width = 1, height = 1;
  unsigned colour = 0;    // index into the palette
  unsigned delayCs = 0;   // hundredths of a second
  unsigned disposal = 1;  // 1: keep, 2: background, 3: previous
};

// palette: 0xRRGGBB, padded to a power of two (at least 2, at most 4 used
// here, since the codes are 3 bits wide).
inline QByteArray Animation(unsigned width, unsigned height, const std::vector<std::uint32_t>& palette,
                            const std::vector<TFrame>& frames, unsigned loops = 0) {
  QByteArray out("GIF89a");
  const auto word = [&out](unsigned v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
  };
  word(width);
  word(height);
  out.append(char(0x80 | 0x01));  // a global palette of 4 colours
  out.append(char(0));
  out.append(char(0));
  for (unsigned i = 0; i < 4; ++i) {
    const std::uint32_t rgb = i < palette.size() ? palette[i] : 0;
    out.append(char((rgb >> 16) & 0xFF));
    out.append(char((rgb >> 8) & 0xFF));
    out.append(char(rgb & 0xFF));
  }
  out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
  word(loops);
  out.append(char(0));
  for (const TFrame& frame : frames) {
    out.append("\x21\xF9\x04", 3);
    out.append(char((frame.disposal & 7) << 2));
    word(frame.delayCs);
    out.append(char(0));
    out.append(char(0));
    out.append(char(0x2C));
    word(frame.left);
    word(frame.top);
    word(frame.width);
    word(frame.height);
    out.append(char(0));
    out.append(char(2));  // code size 2: clear is 4, end is 5, codes 3 bits wide
    // A clear before every two pixels keeps the table, and the code width, small.
    std::vector<unsigned> codes;
    for (unsigned n = 0; n < frame.width * frame.height; ++n) {
      if (n % 2 == 0) codes.push_back(4);
      codes.push_back(frame.colour);
    }
    codes.push_back(5);
    QByteArray data;
    unsigned bits = 0, filled = 0;
    for (unsigned code : codes) {
      bits |= code << filled;
      filled += 3;
      while (filled >= 8) {
        data.append(char(bits & 0xFF));
        bits >>= 8;
        filled -= 8;
      }
    }
    if (filled) data.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
      const QByteArray block = data.mid(at, 255);
      out.append(char(block.size()));
      out.append(block);
    }
    out.append(char(0));
  }
  out.append(char(0x3B));
  return out;
}

}  // namespace testgif
