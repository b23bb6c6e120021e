#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace XmpNamespace {
constexpr std::string_view Tiff = "http://ns.adobe.com/tiff/1.0/";
constexpr std::string_view Exif = "http://ns.adobe.com/exif/1.0/";
}  // namespace XmpNamespace

// How a tag change reaches the XMP packet.
enum TXMPWritePolicy {
  xwUpdateIfExists,  // update a property the packet already has; removals remove
  xwRemove,          // remove the matching property on any change
};

// The deepest element nesting a packet may have to be parsed. Real packets
// stay within a few dozen levels; pugixml frees nested nodes recursively.
constexpr size_t MaxXMPDepth = 128;

// An XMP packet kept as the source bytes until a property is looked at; it is
// parsed then, and serialised again only when a property changed. A packet
// that is not well-formed XML is never changed; looking into one nested
// deeper than MaxXMPDepth raises EXMPPacketTooDeep (a scan of the bytes
// finds it before the XML parser sees them).
class TXMPPacket {
public:
  TXMPPacket();
  ~TXMPPacket();
  TXMPPacket(const TXMPPacket&) = delete;
  TXMPPacket& operator=(const TXMPPacket&) = delete;

  void Clear();
  void Assign(std::span<const uint8_t> bytes);
  bool IsEmpty() const { return FRaw.empty(); }
  bool Changed() const { return FChanged; }

  // Property value (simple properties: an attribute of a description or an
  // element with text), empty when absent.
  bool HasProperty(std::string_view ns, std::string_view name);
  std::string PropertyValue(std::string_view ns, std::string_view name);
  // Sets every occurrence of an existing property; returns whether one existed.
  bool UpdateProperty(std::string_view ns, std::string_view name, std::string_view value);
  // Removes every occurrence; returns whether one existed.
  bool RemoveProperty(std::string_view ns, std::string_view name);

  // The packet as it is to be written: the source bytes when nothing changed.
  std::vector<uint8_t> Bytes() const;

private:
  bool Parse();
  bool RootElementRange(pugi::xml_node root, size_t& start, size_t& end) const;

  std::vector<uint8_t> FRaw;
  std::unique_ptr<pugi::xml_document> FDocument;
  bool FParsed = false, FParseFailed = false, FTooDeep = false, FChanged = false;
};
