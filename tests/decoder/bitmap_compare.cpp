#include "bitmap_compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<FITAG*> Tags(FIBITMAP* dib, FREE_IMAGE_MDMODEL model) {
  std::vector<FITAG*> tags;
  FITAG* tag = nullptr;
  // As the overlay does: a model left empty is not searched (FreeImage would
  // hand out a stray tag).
  if (FreeImage_GetMetadataCount(model, dib) == 0) return tags;
  if (FIMETADATA* search = FreeImage_FindFirstMetadata(model, dib, &tag)) {
    do {
      if (tag) tags.push_back(tag);
    } while (FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
  }
  return tags;
}

std::string Text(const char* s) { return s ? s : ""; }

void ExpectSameTags(FIBITMAP* a, FIBITMAP* b, const std::string& where) {
  for (int m = FIMD_COMMENTS; m <= FIMD_EXIF_RAW; ++m) {
    const auto model = static_cast<FREE_IMAGE_MDMODEL>(m);
    const std::vector<FITAG*> ta = Tags(a, model);
    const std::vector<FITAG*> tb = Tags(b, model);
    std::string keys;
    for (FITAG* t : ta)
      keys += Text(FreeImage_GetTagKey(t)) + "(type " + std::to_string(FreeImage_GetTagType(t)) + ", count " +
              std::to_string(FreeImage_GetTagCount(t)) + ", length " + std::to_string(FreeImage_GetTagLength(t)) + ") ";
    ASSERT_EQ(ta.size(), tb.size()) << where << " model " << m << ": " << keys;
    for (std::size_t i = 0; i < ta.size(); ++i) {
      const std::string tagWhere = where + " model " + std::to_string(m) + " tag " + Text(FreeImage_GetTagKey(ta[i]));
      EXPECT_EQ(Text(FreeImage_GetTagKey(ta[i])), Text(FreeImage_GetTagKey(tb[i]))) << tagWhere;
      EXPECT_EQ(Text(FreeImage_GetTagDescription(ta[i])), Text(FreeImage_GetTagDescription(tb[i]))) << tagWhere;
      EXPECT_EQ(FreeImage_GetTagID(ta[i]), FreeImage_GetTagID(tb[i])) << tagWhere;
      EXPECT_EQ(FreeImage_GetTagType(ta[i]), FreeImage_GetTagType(tb[i])) << tagWhere;
      EXPECT_EQ(FreeImage_GetTagCount(ta[i]), FreeImage_GetTagCount(tb[i])) << tagWhere;
      ASSERT_EQ(FreeImage_GetTagLength(ta[i]), FreeImage_GetTagLength(tb[i])) << tagWhere;
      const void* va = FreeImage_GetTagValue(ta[i]);
      const void* vb = FreeImage_GetTagValue(tb[i]);
      ASSERT_EQ(va == nullptr, vb == nullptr) << tagWhere;
      if (va) {
        EXPECT_EQ(std::memcmp(va, vb, FreeImage_GetTagLength(ta[i])), 0) << tagWhere;
      }
      // What the information overlay shows of it.
      const std::string sa = Text(FreeImage_TagToString(model, ta[i], nullptr));
      EXPECT_EQ(sa, Text(FreeImage_TagToString(model, tb[i], nullptr))) << tagWhere;
    }
  }
}

}  // namespace

void ExpectSameBitmap(FIBITMAP* a, FIBITMAP* b, const std::string& where) {
  ASSERT_TRUE(a) << where;
  ASSERT_TRUE(b) << where;
  ASSERT_EQ(FreeImage_GetImageType(a), FreeImage_GetImageType(b)) << where;
  ASSERT_EQ(FreeImage_GetWidth(a), FreeImage_GetWidth(b)) << where;
  ASSERT_EQ(FreeImage_GetHeight(a), FreeImage_GetHeight(b)) << where;
  ASSERT_EQ(FreeImage_GetBPP(a), FreeImage_GetBPP(b)) << where;
  EXPECT_EQ(FreeImage_GetPitch(a), FreeImage_GetPitch(b)) << where;
  EXPECT_EQ(FreeImage_GetRedMask(a), FreeImage_GetRedMask(b)) << where;
  EXPECT_EQ(FreeImage_GetGreenMask(a), FreeImage_GetGreenMask(b)) << where;
  EXPECT_EQ(FreeImage_GetBlueMask(a), FreeImage_GetBlueMask(b)) << where;
  EXPECT_EQ(FreeImage_GetDotsPerMeterX(a), FreeImage_GetDotsPerMeterX(b)) << where;
  EXPECT_EQ(FreeImage_GetDotsPerMeterY(a), FreeImage_GetDotsPerMeterY(b)) << where;
  EXPECT_EQ(FreeImage_GetColorType(a), FreeImage_GetColorType(b)) << where;

  ASSERT_EQ(FreeImage_GetColorsUsed(a), FreeImage_GetColorsUsed(b)) << where;
  if (FreeImage_GetPalette(a) && FreeImage_GetPalette(b)) {
    EXPECT_EQ(
        std::memcmp(FreeImage_GetPalette(a), FreeImage_GetPalette(b), FreeImage_GetColorsUsed(a) * sizeof(RGBQUAD)), 0)
        << where;
  }
  EXPECT_EQ(FreeImage_IsTransparent(a), FreeImage_IsTransparent(b)) << where;
  ASSERT_EQ(FreeImage_GetTransparencyCount(a), FreeImage_GetTransparencyCount(b)) << where;
  if (FreeImage_GetTransparencyCount(a)) {
    EXPECT_EQ(std::memcmp(FreeImage_GetTransparencyTable(a), FreeImage_GetTransparencyTable(b),
                          FreeImage_GetTransparencyCount(a)),
              0)
        << where;
  }
  EXPECT_EQ(FreeImage_GetTransparentIndex(a), FreeImage_GetTransparentIndex(b)) << where;
  ASSERT_EQ(FreeImage_HasBackgroundColor(a), FreeImage_HasBackgroundColor(b)) << where;
  if (FreeImage_HasBackgroundColor(a)) {
    RGBQUAD ca{}, cb{};
    FreeImage_GetBackgroundColor(a, &ca);
    FreeImage_GetBackgroundColor(b, &cb);
    EXPECT_EQ(std::memcmp(&ca, &cb, sizeof ca), 0) << where;
  }
  const FIICCPROFILE* ia = FreeImage_GetICCProfile(a);
  const FIICCPROFILE* ib = FreeImage_GetICCProfile(b);
  EXPECT_EQ(ia->flags, ib->flags) << where;
  ASSERT_EQ(ia->size, ib->size) << where;
  if (ia->size && ib->size) {
    EXPECT_EQ(std::memcmp(ia->data, ib->data, ia->size), 0) << where;
  }

  ExpectSameTags(a, b, where);

  FIBITMAP* tha = FreeImage_GetThumbnail(a);
  FIBITMAP* thb = FreeImage_GetThumbnail(b);
  ASSERT_EQ(tha == nullptr, thb == nullptr) << where;
  if (tha) ExpectSameBitmap(tha, thb, where + " thumbnail");

  const unsigned lineBytes = FreeImage_GetLine(a);
  unsigned differing = 0;
  for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y)
    if (std::memcmp(FreeImage_GetScanLine(a, static_cast<int>(y)), FreeImage_GetScanLine(b, static_cast<int>(y)),
                    lineBytes))
      ++differing;
  EXPECT_EQ(differing, 0u) << where << ": rows that differ";
}
