#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed afterwards.
class TTestFolder {
public:
  TTestFolder();
  ~TTestFolder();
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;

  std::string Path(const std::string& name) const { return (FPath / name).string(); }
  std::string Write(const std::string& name, const TBytes& bytes) const;
  // Names of the entries in the folder, hidden ones included.
  std::vector<std::string> Entries() const;

private:
  std::filesystem::path FPath;
};

TBytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const TBytes& bytes);
TBytes Text(const std::string& text);
TBytes Concat(std::initializer_list<TBytes> parts);

// A JPEG segment: FF, marker, big-endian length, data.
TBytes Segment(uint8_t marker, const TBytes& data);
// A real baseline JPEG made by libjpeg (SOI, JFIF APP0, tables, SOF0, scan,
// EOI), with a colour pattern; withJfif=false leaves out the APP0.
TBytes EncodeJpeg(int width, int height, int quality = 85, bool withJfif = true);
// Splits a JPEG after SOI: {SOI} and the rest.
TBytes InsertAfterSoi(const TBytes& jpeg, const TBytes& segments);
// Offset of the image's first SOS segment: from there on is the image data.
size_t ScanOffset(const TBytes& jpeg);

// A Photoshop file: header, empty colour mode data, the given image
// resources, an empty layer section and 4 x 4 pixels of RGB image data.
TBytes Psd(const TBytes& resources);
// One image resource with an empty name, padded to even length.
TBytes PsdResource(uint16_t id, const TBytes& data);
// The bytes after the resource section of Psd().
TBytes PsdImageData();

// Assembles TIFF blocks entry by entry, independently of the code under
// test. Values longer than 4 bytes go to a data area after the directories.
class TTiffBuilder {
public:
  explicit TTiffBuilder(bool bigEndian = false) : FBig(bigEndian) {}
  struct TEntry {
    uint16_t Tag, Type;
    uint32_t Count;
    TBytes Value;  // already in the block's byte order
  };
  struct TIfd {
    std::vector<TEntry> Entries;
  };
  // Value encoders in the builder's byte order.
  TBytes Short(std::initializer_list<uint16_t> values) const;
  TBytes Long(std::initializer_list<uint32_t> values) const;
  static TBytes Ascii(const std::string& text);

  // Lays out the IFDs one after the other (IFD i links to IFD i+1 when
  // chained), values after all directories; pointers[k] = {ifd, entry,
  // target ifd} set entry values to directory offsets; extra bytes are
  // appended at the end and their offset returned through extraOffset.
  TBytes Build(const std::vector<TIfd>& ifds, size_t chained = 1,
               const std::vector<std::tuple<size_t, size_t, size_t>>& pointers = {}, const TBytes& extra = {},
               uint32_t* extraOffset = nullptr) const;

  void Put16(TBytes& out, size_t at, uint16_t v) const;
  void Put32(TBytes& out, size_t at, uint32_t v) const;
  uint16_t Get16(const TBytes& in, size_t at) const;
  uint32_t Get32(const TBytes& in, size_t at) const;

private:
  bool FBig;
};

// An XMP packet whose tiff:Orientation element holds its value inside extra
// nested elements (after inner); with the wrapper and the description the
// elements nest extra + 4 deep.
std::string NestedXmp(size_t extra, const std::string& inner = "");

// A one-page grey TIFF of 8 x 8 pixels in two strips, with nothing else.
TBytes GreyTiff(bool bigEndian);

// Runs a shell command; returns its standard output (and the exit code).
std::string RunCommand(const std::string& command, int* exitCode = nullptr);
bool HaveExiftool();
std::string ShellQuote(const std::string& text);
