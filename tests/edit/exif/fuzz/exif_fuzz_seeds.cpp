// Writes the seed corpus of exif_fuzzer into the folder given: the kinds of
// file the tests use (JPEGs with Exif, XMP and thumbnails in both byte
// orders, damaged ones, a Photoshop file, TIFF files, bare TIFF blocks,
// maker notes of several makers, and a TIFF file with a deeply nested XMP
// packet).
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"
#include "maker_note_samples.h"

#include <cstdio>
#include <string>

namespace {

TBytes ExifSegment(const TBytes& block) { return Segment(0xE1, Concat({Text(std::string("Exif\0\0", 6)), block})); }

TBytes XmpSegment() {
  return Segment(0xE1, Concat({Text(std::string("http://ns.adobe.com/xap/1.0/\0", 29)),
                               Text("<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta "
                                    "xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/"
                                    "22-rdf-syntax-ns#'><rdf:Description xmlns:tiff='http://ns.adobe.com/tiff/"
                                    "1.0/' xmlns:exif='http://ns.adobe.com/exif/1.0/' tiff:Orientation='6' "
                                    "exif:PixelXDimension='8'><tiff:orientation>6</tiff:orientation>"
                                    "</rdf:Description></rdf:RDF></x:xmpmeta>  <?xpacket end='w'?>")}));
}

// A camera-like block: IFD0, Exif with maker note and pixel sizes, interop,
// GPS, IFD1 with a JPEG thumbnail, a padding tag.
TBytes CameraBlock(bool bigEndian) {
  const TTiffBuilder b(bigEndian);
  TBytes padding(40, 0);
  padding[0] = 0x1C;
  padding[1] = 0xEA;
  const TBytes thumbnail = EncodeJpeg(16, 12, 50, false);
  TTiffBuilder::TIfd ifd0{{{0x010F, 2, 6, b.Ascii("Canon")},
                           {0x0112, 3, 1, b.Short({6})},
                           {0x011A, 5, 1, Concat({b.Long({72}), b.Long({1})})},
                           {0x8769, 4, 1, b.Long({0})},
                           {0x8825, 4, 1, b.Long({0})},
                           {0xEA1C, 7, 40, padding}}};
  TTiffBuilder::TIfd ifd1{{{0x0103, 3, 1, b.Short({6})},
                           {0x0201, 4, 1, b.Long({0})},
                           {0x0202, 4, 1, b.Long({uint32_t(thumbnail.size())})}}};
  TTiffBuilder::TIfd exif{{{0x8827, 3, 1, b.Short({100})},
                           {0x927C, 7, 24, TBytes(24, 'N')},
                           {0xA002, 3, 1, b.Short({1})},
                           {0xA003, 4, 1, b.Long({1})},
                           {0xA005, 4, 1, b.Long({0})},
                           {0xEA1D, 9, 1, b.Long({8})}}};
  TTiffBuilder::TIfd interop{{{0x0001, 2, 4, b.Ascii("R98")}}};
  TTiffBuilder::TIfd gps{{{0x0001, 2, 2, b.Ascii("N")}, {0x0002, 5, 3, TBytes(24, 1)}}};
  uint32_t at = 0;
  TBytes block = b.Build({ifd0, ifd1, exif, interop, gps}, 2, {{0, 3, 2}, {0, 4, 4}, {2, 4, 3}}, thumbnail, &at);
  b.Put32(block, 8 + 6 + 12 * 6 + 2 + 12 + 8, at);
  return block;
}

void Save(const std::string& folder, const std::string& name, const TBytes& bytes) {
  WriteFile(folder + "/" + name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: exif_fuzz_seeds FOLDER\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const TBytes jpeg = EncodeJpeg(8, 8, 50);
  for (bool big : {false, true}) {
    const std::string order = big ? "mm" : "ii";
    Save(folder, "camera-" + order + ".jpg",
         InsertAfterSoi(jpeg, Concat({ExifSegment(CameraBlock(big)), XmpSegment()})));
    Save(folder, "block-" + order + ".tif", CameraBlock(big));
    Save(folder, "grey-" + order + ".tif", GreyTiff(big));
  }
  Save(folder, "plain.jpg", jpeg);
  Save(folder, "exif-first.jpg",
       InsertAfterSoi(EncodeJpeg(8, 8, 50, false),
                      Concat({ExifSegment(CameraBlock(false)),
                              Segment(0xE0, Text(std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14)))})));
  Save(folder, "truncated.jpg", TBytes(jpeg.begin(), jpeg.begin() + 30));
  Save(folder, "photoshop.psd",
       Psd(Concat({PsdResource(1005, TBytes(16, 1)), PsdResource(1058, CameraBlock(true)),
                   PsdResource(1028, Text("\x1C\x02\x19\0\x03sky"))})));
  TExifData exif;
  exif.General().SetOrientation(toTopLeft);
  Save(folder, "orientation-only.tif", exif.SaveToTiffBlock());
  for (const TMakerNoteSample& sample : MakerNoteSamples())
    Save(folder, "maker-note-" + sample.Maker + ".jpg", MakerNoteJpeg(sample));
  // XMP nested deep enough to overflow the stack of a recursive XML model
  // (some 200,000 levels on an 8 MB stack): 1.75 MB.
  const TTiffBuilder b;
  const TBytes deep = Text(NestedXmp(250000));
  Save(folder, "deep-xmp.tif",
       b.Build({{{{0x0100, 3, 1, b.Short({1})},
                  {0x0101, 3, 1, b.Short({1})},
                  {0x0112, 3, 1, b.Short({6})},
                  {0x02BC, 1, uint32_t(deep.size()), deep}}}}));
  return 0;
}
