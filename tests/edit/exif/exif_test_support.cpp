#include "exif_test_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <jpeglib.h>
#include <sys/wait.h>

TTestFolder::TTestFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velvane-exif-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  FPath = pattern;
}

TTestFolder::~TTestFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(FPath, ignored);
}

std::string TTestFolder::Write(const std::string& name, const TBytes& bytes) const {
  WriteFile(Path(name), bytes);
  return Path(name);
}

std::vector<std::string> TTestFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(FPath)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TBytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const TBytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TBytes Text(const std::string& text) { return TBytes(text.begin(), text.end()); }

TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const TBytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TBytes Segment(uint8_t marker, const TBytes& data) {
  const size_t length = data.size() + 2;
  TBytes out = {0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

TBytes EncodeJpeg(int width, int height, int quality, bool withJfif) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.write_JFIF_header = withJfif ? TRUE : FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(size_t(width) * 3);
  uint32_t noise = 12345;
  while (cinfo.next_scanline < cinfo.image_height) {
    const unsigned y = cinfo.next_scanline;
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245 + 12345;
      row[size_t(x) * 3] = uint8_t(x * 255 / std::max(1, width - 1));
      row[size_t(x) * 3 + 1] = uint8_t(y * 255 / std::max(1u, unsigned(height - 1)));
      row[size_t(x) * 3 + 2] = uint8_t(noise >> 24);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  TBytes out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

TBytes InsertAfterSoi(const TBytes& jpeg, const TBytes& segments) {
  TBytes out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), segments.begin(), segments.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

size_t ScanOffset(const TBytes& jpeg) {
  // Walk the segments: an embedded thumbnail has a scan of its own.
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
    if (jpeg[pos + 1] == 0xDA) return pos;
    pos += 2 + (size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3]);
  }
  return jpeg.size();
}

namespace {

TBytes Big32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

}  // namespace

TBytes PsdResource(uint16_t id, const TBytes& data) {
  TBytes out = Concat({Text("8BIM"), TBytes{uint8_t(id >> 8), uint8_t(id), 0, 0}, Big32(uint32_t(data.size())), data});
  if (data.size() & 1) out.push_back(0);
  return out;
}

TBytes PsdImageData() {
  TBytes pixels(48);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 5);
  return Concat({Big32(0), TBytes{0, 0}, pixels});
}

TBytes Psd(const TBytes& resources) {
  const TBytes header =
      Concat({Text("8BPS"), TBytes{0, 1, 0, 0, 0, 0, 0, 0, 0, 3}, Big32(4), Big32(4), TBytes{0, 8, 0, 3}, Big32(0)});
  return Concat({header, Big32(uint32_t(resources.size())), resources, PsdImageData()});
}

TBytes GreyTiff(bool bigEndian) {
  const TTiffBuilder b(bigEndian);
  TBytes pixels(64);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 4);
  uint32_t at = 0;
  TBytes file = b.Build({{{{0x0100, 3, 1, b.Short({8})},
                           {0x0101, 3, 1, b.Short({8})},
                           {0x0102, 3, 1, b.Short({8})},
                           {0x0103, 3, 1, b.Short({1})},
                           {0x0106, 3, 1, b.Short({1})},
                           {0x0111, 4, 2, b.Long({0, 0})},
                           {0x0115, 3, 1, b.Short({1})},
                           {0x0116, 3, 1, b.Short({4})},
                           {0x0117, 4, 2, b.Long({32, 32})},
                           {0x011A, 5, 1, Concat({b.Long({72}), b.Long({1})})},
                           {0x011B, 5, 1, Concat({b.Long({72}), b.Long({1})})},
                           {0x0128, 3, 1, b.Short({2})}}}},
                        1, {}, pixels, &at);
  const uint32_t offsets = b.Get32(file, 8 + 2 + 12 * 5 + 8);
  b.Put32(file, offsets, at);
  b.Put32(file, offsets + 4, at + 32);
  return file;
}

std::string NestedXmp(size_t extra, const std::string& inner) {
  std::string packet =
      "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
      "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
      "xmlns:tiff='http://ns.adobe.com/tiff/1.0/'><tiff:Orientation>";
  packet.reserve(packet.size() + 7 * extra + inner.size() + 100);
  for (size_t i = 0; i < extra; ++i) packet += "<a>";
  packet += inner + "6";
  for (size_t i = 0; i < extra; ++i) packet += "</a>";
  return packet + "</tiff:Orientation></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
}

void TTiffBuilder::Put16(TBytes& out, size_t at, uint16_t v) const {
  out[at] = uint8_t(FBig ? v >> 8 : v);
  out[at + 1] = uint8_t(FBig ? v : v >> 8);
}

void TTiffBuilder::Put32(TBytes& out, size_t at, uint32_t v) const {
  Put16(out, at + (FBig ? 0 : 2), uint16_t(v >> 16));
  Put16(out, at + (FBig ? 2 : 0), uint16_t(v));
}

uint16_t TTiffBuilder::Get16(const TBytes& in, size_t at) const {
  return FBig ? uint16_t(in[at] << 8 | in[at + 1]) : uint16_t(in[at] | in[at + 1] << 8);
}

uint32_t TTiffBuilder::Get32(const TBytes& in, size_t at) const {
  return FBig ? uint32_t(Get16(in, at)) << 16 | Get16(in, at + 2) : uint32_t(Get16(in, at + 2)) << 16 | Get16(in, at);
}

TBytes TTiffBuilder::Short(std::initializer_list<uint16_t> values) const {
  TBytes out(values.size() * 2);
  size_t i = 0;
  for (uint16_t v : values) Put16(out, 2 * i++, v);
  return out;
}

TBytes TTiffBuilder::Long(std::initializer_list<uint32_t> values) const {
  TBytes out(values.size() * 4);
  size_t i = 0;
  for (uint32_t v : values) Put32(out, 4 * i++, v);
  return out;
}

TBytes TTiffBuilder::Ascii(const std::string& text) {
  TBytes out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

TBytes TTiffBuilder::Build(const std::vector<TIfd>& ifds, size_t chained,
                           const std::vector<std::tuple<size_t, size_t, size_t>>& pointers, const TBytes& extra,
                           uint32_t* extraOffset) const {
  TBytes out(8);
  out[0] = out[1] = FBig ? 'M' : 'I';
  Put16(out, 2, 42);
  Put32(out, 4, 8);
  std::vector<size_t> ifdOffsets;
  size_t pos = 8;
  for (const TIfd& ifd : ifds) {
    ifdOffsets.push_back(pos);
    pos += 6 + 12 * ifd.Entries.size();
  }
  out.resize(pos);
  for (size_t i = 0; i < ifds.size(); ++i) {
    size_t at = ifdOffsets[i];
    Put16(out, at, uint16_t(ifds[i].Entries.size()));
    at += 2;
    for (const TEntry& entry : ifds[i].Entries) {
      Put16(out, at, entry.Tag);
      Put16(out, at + 2, entry.Type);
      Put32(out, at + 4, entry.Count);
      if (entry.Value.size() <= 4) {
        std::copy(entry.Value.begin(), entry.Value.end(), out.begin() + std::ptrdiff_t(at + 8));
      } else {
        if (out.size() & 1) out.push_back(0);
        Put32(out, at + 8, uint32_t(out.size()));
        out.insert(out.end(), entry.Value.begin(), entry.Value.end());
      }
      at += 12;
    }
    Put32(out, at, i + 1 < chained && i + 1 < ifds.size() ? uint32_t(ifdOffsets[i + 1]) : 0);
  }
  for (const auto& [ifd, entry, target] : pointers)
    Put32(out, ifdOffsets[ifd] + 2 + 12 * entry + 8, uint32_t(ifdOffsets[target]));
  if (!extra.empty()) {
    if (out.size() & 1) out.push_back(0);
    if (extraOffset) *extraOffset = uint32_t(out.size());
    out.insert(out.end(), extra.begin(), extra.end());
  }
  return out;
}

std::string RunCommand(const std::string& command, int* exitCode) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (exitCode) *exitCode = -1;
    return output;
  }
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), got);
  const int status = pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

bool HaveExiftool() {
  int code = 0;
  RunCommand("exiftool -ver >/dev/null 2>&1", &code);
  return code == 0;
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}
