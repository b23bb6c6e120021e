#include "edit/exif/xmp_packet.h"

#include "edit/exif/exif_errors.h"

#include <pugixml.hpp>

#include <algorithm>

#include <cstring>
#include <functional>

namespace {

std::string_view PrefixOf(std::string_view qualifiedName) {
  const size_t colon = qualifiedName.find(':');
  return colon == std::string_view::npos ? std::string_view() : qualifiedName.substr(0, colon);
}

std::string_view LocalNameOf(std::string_view qualifiedName) {
  const size_t colon = qualifiedName.find(':');
  return colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1);
}

// The namespace URI a prefix is bound to at element, looking outwards.
std::string_view NamespaceOf(pugi::xml_node element, std::string_view prefix) {
  if (prefix.empty() || prefix == "xmlns") return {};
  std::string attributeName = "xmlns:";
  attributeName += prefix;
  for (pugi::xml_node node = element; node; node = node.parent()) {
    if (node.type() != pugi::node_element) continue;
    if (pugi::xml_attribute a = node.attribute(attributeName.c_str())) return a.value();
  }
  return {};
}

bool Matches(pugi::xml_node scope, std::string_view qualifiedName, std::string_view ns, std::string_view name) {
  return LocalNameOf(qualifiedName) == name && NamespaceOf(scope, PrefixOf(qualifiedName)) == ns;
}

// Visits every element of the document without recursion (a hostile packet
// may nest deeply).
void ForEachElement(pugi::xml_node root, const std::function<void(pugi::xml_node)>& visit) {
  pugi::xml_node node = root.first_child();
  while (node) {
    pugi::xml_node next = node.first_child();
    if (node.type() == pugi::node_element) visit(node);
    if (!next) {
      next = node;
      while (next && !next.next_sibling() && next != root) next = next.parent();
      next = next && next != root ? next.next_sibling() : pugi::xml_node();
    }
    node = next;
  }
}

// The attributes and elements holding the property.
struct TOccurrences {
  std::vector<std::pair<pugi::xml_node, pugi::xml_attribute>> Attributes;
  std::vector<pugi::xml_node> Elements;
  bool Empty() const { return Attributes.empty() && Elements.empty(); }
};

TOccurrences FindProperty(pugi::xml_document& document, std::string_view ns, std::string_view name) {
  TOccurrences found;
  ForEachElement(document, [&](pugi::xml_node element) {
    if (Matches(element, element.name(), ns, name)) found.Elements.push_back(element);
    for (pugi::xml_attribute a : element.attributes())
      if (Matches(element, a.name(), ns, name)) found.Attributes.emplace_back(element, a);
  });
  return found;
}

bool IsXmlSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The packet's characters as code units of the width and byte order its
// start shows (a byte-order mark, or the zero bytes around a first '<' of
// UTF-16 or UTF-32), else bytes. Markup characters are ASCII in each.
class TCodeUnits {
public:
  explicit TCodeUnits(std::span<const uint8_t> bytes) : FBytes(bytes) {
    auto starts = [&](std::initializer_list<uint8_t> prefix) {
      return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
    };
    if (starts({0x00, 0x00, 0xFE, 0xFF}) || starts({0x00, 0x00, 0x00, 0x3C}))
      Set(4, true);
    else if (starts({0xFF, 0xFE, 0x00, 0x00}) || starts({0x3C, 0x00, 0x00, 0x00}))
      Set(4, false);
    else if (starts({0xFE, 0xFF}) || starts({0x00, 0x3C}))
      Set(2, true);
    else if (starts({0xFF, 0xFE}) || starts({0x3C, 0x00}))
      Set(2, false);
  }
  size_t Size() const { return FBytes.size() / FWidth; }
  // The unit at index, or 0 past the end.
  uint32_t operator[](size_t index) const {
    if (index >= Size()) return 0;
    const uint8_t* unit = FBytes.data() + index * FWidth;
    uint32_t value = 0;
    for (size_t i = 0; i < FWidth; ++i) value |= uint32_t(unit[FBigEndian ? FWidth - 1 - i : i]) << (8 * i);
    return value;
  }
  bool At(size_t index, std::string_view text) const {
    for (size_t i = 0; i < text.size(); ++i)
      if ((*this)[index + i] != uint8_t(text[i])) return false;
    return true;
  }
  // The index just after the next occurrence of text from index on; Size()
  // when there is none.
  size_t After(size_t index, std::string_view text) const {
    for (size_t end = Size(); index < end; ++index)
      if (At(index, text)) return index + text.size();
    return Size();
  }

private:
  void Set(size_t width, bool bigEndian) {
    FWidth = width;
    FBigEndian = bigEndian;
  }
  std::span<const uint8_t> FBytes;
  size_t FWidth = 1;
  bool FBigEndian = false;
};

// Whether elements nest deeper than limit, from a scan of the markup: start
// tags that are not empty elements open a level, end tags close one;
// comments, CDATA sections, processing instructions, declarations and
// quoted attribute values are skipped. The count never falls below the
// nesting the XML parser would build, so a packet passing it is safe to
// parse and change.
bool NestsDeeperThan(std::span<const uint8_t> bytes, size_t limit) {
  const TCodeUnits text(bytes);
  const size_t size = text.Size();
  size_t depth = 0;
  for (size_t i = 0; i < size;) {
    if (text[i] != '<') {
      ++i;
    } else if (text[i + 1] == '/') {
      if (depth) --depth;
      i = text.After(i, ">");
    } else if (text[i + 1] == '?') {
      i = text.After(i, "?>");
    } else if (text.At(i, "<!--")) {
      i = text.After(i + 4, "-->");
    } else if (text.At(i, "<![CDATA[")) {
      i = text.After(i, "]]>");
    } else if (text[i + 1] == '!') {
      i = text.After(i, ">");
    } else {
      uint32_t quote = 0, previous = 0;
      size_t j = i + 1;
      for (; j < size; ++j) {
        const uint32_t c = text[j];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          break;
        }
        previous = quote ? 0 : c;
      }
      // previous is the last unquoted character before '>'.
      if (j < size && previous != '/' && ++depth > limit) return true;
      i = j + 1;
    }
  }
  return false;
}

constexpr unsigned ParseOptions = pugi::parse_full | pugi::parse_ws_pcdata;

struct TVectorWriter : pugi::xml_writer {
  std::vector<uint8_t>* Target;
  void write(const void* data, size_t size) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    Target->insert(Target->end(), bytes, bytes + size);
  }
};

}  // namespace

// Where the root element lies in the source bytes: from its '<' to just after
// its end tag. Only for UTF-8 packets, where parser offsets are byte offsets.
bool TXMPPacket::RootElementRange(pugi::xml_node root, size_t& start, size_t& end) const {
  if (!root || (FRaw.size() >= 2 && (FRaw[0] == 0xFE || FRaw[0] == 0xFF || FRaw[0] == 0 || FRaw[1] == 0))) return false;
  const ptrdiff_t nameOffset = root.offset_debug();
  if (nameOffset < 1 || size_t(nameOffset) > FRaw.size() || FRaw[size_t(nameOffset) - 1] != '<') return false;
  start = size_t(nameOffset) - 1;
  const std::string closing = std::string("</") + root.name();
  const std::string_view raw(reinterpret_cast<const char*>(FRaw.data()), FRaw.size());
  const size_t closeAt = raw.rfind(closing);
  if (closeAt == std::string_view::npos || closeAt < start) return false;
  const size_t gt = raw.find('>', closeAt);
  if (gt == std::string_view::npos) return false;
  end = gt + 1;
  return true;
}

TXMPPacket::TXMPPacket() = default;
TXMPPacket::~TXMPPacket() = default;

void TXMPPacket::Clear() {
  FRaw.clear();
  FDocument.reset();
  FParsed = FParseFailed = FTooDeep = FChanged = false;
}

void TXMPPacket::Assign(std::span<const uint8_t> bytes) {
  Clear();
  FRaw.assign(bytes.begin(), bytes.end());
}

bool TXMPPacket::Parse() {
  if (FTooDeep) throw EXMPPacketTooDeep();
  if (FParsed) return !FParseFailed;
  FParsed = true;
  if (FRaw.empty()) {
    FParseFailed = true;
    return false;
  }
  if (NestsDeeperThan(FRaw, MaxXMPDepth)) {
    FTooDeep = true;
    throw EXMPPacketTooDeep();
  }
  FDocument = std::make_unique<pugi::xml_document>();
  const pugi::xml_parse_result result =
      FDocument->load_buffer(FRaw.data(), FRaw.size(), ParseOptions, pugi::encoding_auto);
  FParseFailed = !result;
  if (FParseFailed) FDocument.reset();
  return !FParseFailed;
}

bool TXMPPacket::HasProperty(std::string_view ns, std::string_view name) {
  return Parse() && !FindProperty(*FDocument, ns, name).Empty();
}

std::string TXMPPacket::PropertyValue(std::string_view ns, std::string_view name) {
  if (!Parse()) return {};
  const TOccurrences found = FindProperty(*FDocument, ns, name);
  if (!found.Attributes.empty()) return found.Attributes.front().second.value();
  if (!found.Elements.empty()) return found.Elements.front().text().get();
  return {};
}

bool TXMPPacket::UpdateProperty(std::string_view ns, std::string_view name, std::string_view value) {
  if (!Parse()) return false;
  const TOccurrences found = FindProperty(*FDocument, ns, name);
  const std::string text(value);
  for (auto [element, attribute] : found.Attributes) {
    if (text != attribute.value()) {
      attribute.set_value(text.c_str());
      FChanged = true;
    }
  }
  // Innermost first: replacing an outer element's content frees the inner ones.
  for (auto it = found.Elements.rbegin(); it != found.Elements.rend(); ++it) {
    pugi::xml_node element = *it;
    if (text == element.text().get() && !element.first_child().next_sibling()) continue;
    while (element.first_child()) element.remove_child(element.first_child());
    element.append_child(pugi::node_pcdata).set_value(text.c_str());
    FChanged = true;
  }
  return !found.Empty();
}

bool TXMPPacket::RemoveProperty(std::string_view ns, std::string_view name) {
  if (!Parse()) return false;
  const TOccurrences found = FindProperty(*FDocument, ns, name);
  for (auto [element, attribute] : found.Attributes) element.remove_attribute(attribute);
  for (auto it = found.Elements.rbegin(); it != found.Elements.rend(); ++it) it->parent().remove_child(*it);
  if (!found.Empty()) FChanged = true;
  return !found.Empty();
}

std::vector<uint8_t> TXMPPacket::Bytes() const {
  if (!FChanged || !FDocument) return FRaw;
  pugi::xml_node root = FDocument->document_element();
  std::vector<uint8_t> element;
  TVectorWriter writer;
  writer.Target = &element;
  root.print(writer, "", pugi::format_raw, pugi::encoding_utf8);

  // Outside the root element the packet keeps its own bytes: the xpacket
  // wrapper and the padding that lets other programs edit the packet in place.
  // The padding absorbs the change of size where it can.
  size_t start = 0, end = 0;
  if (!RootElementRange(root, start, end)) {
    std::vector<uint8_t> whole;
    writer.Target = &whole;
    FDocument->save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return whole;
  }
  std::vector<uint8_t> result(FRaw.begin(), FRaw.begin() + std::ptrdiff_t(start));
  result.insert(result.end(), element.begin(), element.end());
  size_t padding = 0;
  while (end + padding < FRaw.size() && IsXmlSpace(FRaw[end + padding])) ++padding;
  const size_t oldSize = end - start;
  size_t tailStart = end;
  if (element.size() < oldSize) {
    result.insert(result.end(), oldSize - element.size(), ' ');
  } else if (padding > 1) {
    tailStart += std::min(element.size() - oldSize, padding - 1);
  }
  result.insert(result.end(), FRaw.begin() + std::ptrdiff_t(tailStart), FRaw.end());
  return result;
}
