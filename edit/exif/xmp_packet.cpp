#include "edit/exif/xmp_packet.h"

#include <pugixml.hpp>

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

bool Matches(pugi::xml_node scope, std::string_view qualifiedName, std::string_view ns,
             std::string_view name) {
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
  if (!root || (FRaw.size() >= 2 && (FRaw[0] == 0xFE || FRaw[0] == 0xFF || FRaw[0] == 0 || FRaw[1] == 0)))
    return false;
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
  FParsed = FParseFailed = FChanged = false;
}

void TXMPPacket::Assign(std::span<const uint8_t> bytes) {
  Clear();
  FRaw.assign(bytes.begin(), bytes.end());
}

bool TXMPPacket::Parse() {
  if (FParsed) return !FParseFailed;
  FParsed = true;
  if (FRaw.empty()) {
    FParseFailed = true;
    return false;
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
  for (auto it = found.Elements.rbegin(); it != found.Elements.rend(); ++it)
    it->parent().remove_child(*it);
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
