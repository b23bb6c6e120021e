#include "edit/exif/exif_section.h"

#include <algorithm>

namespace {

auto LowerBound(auto& tags, uint16_t id) {
  return std::lower_bound(tags.begin(), tags.end(), id,
                          [](const TExifTag& tag, uint16_t value) { return tag.ID < value; });
}

}  // namespace

const TExifTag* TExifSection::Find(uint16_t id) const {
  const auto it = LowerBound(FTags, id);
  return it != FTags.end() && it->ID == id ? &*it : nullptr;
}

TExifTag* TExifSection::Find(uint16_t id) {
  const auto it = LowerBound(FTags, id);
  return it != FTags.end() && it->ID == id ? &*it : nullptr;
}

TExifTag& TExifSection::SetTag(TExifTag tag) {
  const auto it = LowerBound(FTags, tag.ID);
  if (it != FTags.end() && it->ID == tag.ID) {
    *it = std::move(tag);
    return *it;
  }
  return *FTags.insert(it, std::move(tag));
}

bool TExifSection::Remove(uint16_t id) {
  const auto it = LowerBound(FTags, id);
  if (it == FTags.end() || it->ID != id) return false;
  FTags.erase(it);
  return true;
}

void TExifSection::Assign(std::vector<TExifTag> tags) {
  std::stable_sort(tags.begin(), tags.end(), [](const TExifTag& a, const TExifTag& b) { return a.ID < b.ID; });
  tags.erase(std::unique(tags.begin(), tags.end(), [](const TExifTag& a, const TExifTag& b) { return a.ID == b.ID; }),
             tags.end());
  FTags = std::move(tags);
}

void SetSizeTag(TExifSection& section, uint16_t id, uint32_t value) {
  const TExifTag* tag = section.Find(id);
  if (tag && tag->DataType == tdShort && tag->ElementCount == 1 && value <= 0xFFFF)
    section.SetTag(TExifTag::MakeShort(id, uint16_t(value)));
  else
    section.SetTag(TExifTag::MakeLong(id, value));
}
