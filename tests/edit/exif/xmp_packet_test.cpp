// The XMP packet: properties found through their namespace in either form,
// changed in place, and everything outside the root element kept.
#include "edit/exif/xmp_packet.h"
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

namespace {

const std::string Head = "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n";
const std::string Tail = "\n" + std::string(300, ' ') + "\n<?xpacket end='w'?>";

std::string Packet(const std::string& body) {
  return Head +
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>" +
         body + "</rdf:RDF></x:xmpmeta>" + Tail;
}

std::string AsString(const TBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(XmpPacket, UpdatesAnAttributeInPlaceAndKeepsTheWrapperAndPadding) {
  const std::string source = Packet(
      "<rdf:Description rdf:about='' xmlns:tiff='http://ns.adobe.com/tiff/1.0/' tiff:Orientation='6' tiff:Make='X'/>");
  TXMPPacket xmp;
  xmp.Assign(Text(source));
  EXPECT_EQ(xmp.PropertyValue(XmpNamespace::Tiff, "Orientation"), "6");
  EXPECT_EQ(xmp.Bytes(), Text(source));  // looking changes nothing
  EXPECT_TRUE(xmp.UpdateProperty(XmpNamespace::Tiff, "Orientation", "1"));
  const std::string out = AsString(xmp.Bytes());
  EXPECT_EQ(out.size(), source.size());
  EXPECT_EQ(out.substr(0, Head.size()), Head);
  EXPECT_EQ(out.substr(out.size() - 20), source.substr(source.size() - 20));
  EXPECT_NE(out.find("tiff:Orientation=\"1\""), std::string::npos);
  EXPECT_NE(out.find("tiff:Make=\"X\""), std::string::npos);
}

TEST(XmpPacket, FindsPropertiesByNamespaceNotByPrefix) {
  TXMPPacket xmp;
  xmp.Assign(
      Text(Packet("<rdf:Description xmlns:t='http://ns.adobe.com/tiff/1.0/' xmlns:tiff='urn:other'>"
                  "<t:Orientation>8</t:Orientation><tiff:Orientation>3</tiff:Orientation>"
                  "</rdf:Description>")));
  EXPECT_EQ(xmp.PropertyValue(XmpNamespace::Tiff, "Orientation"), "8");
  EXPECT_TRUE(xmp.RemoveProperty(XmpNamespace::Tiff, "Orientation"));
  EXPECT_FALSE(xmp.HasProperty(XmpNamespace::Tiff, "Orientation"));
  const std::string out = AsString(xmp.Bytes());
  EXPECT_EQ(out.find("t:Orientation"), std::string::npos);
  EXPECT_NE(out.find("<tiff:Orientation>3</tiff:Orientation>"), std::string::npos);
}

TEST(XmpPacket, OrientationSetterFollowsOnlyExistingProperties) {
  TExifData exif;
  exif.XMPPacket().Assign(
      Text(Packet("<rdf:Description xmlns:tiff='http://ns.adobe.com/tiff/1.0/' tiff:orientation='6'>"
                  "<tiff:Orientation>6</tiff:Orientation></rdf:Description>")));
  exif.General().SetOrientation(toTopLeft);
  EXPECT_EQ(exif.XMPPacket().PropertyValue(XmpNamespace::Tiff, "Orientation"), "1");
  EXPECT_EQ(exif.XMPPacket().PropertyValue(XmpNamespace::Tiff, "orientation"), "1");
  exif.General().SetOrientation(toUndefined);
  EXPECT_FALSE(exif.XMPPacket().HasProperty(XmpNamespace::Tiff, "Orientation"));
  EXPECT_FALSE(exif.XMPPacket().HasProperty(XmpNamespace::Tiff, "orientation"));

  // Update-if-exists: a packet without the property does not gain it.
  TExifData other;
  const std::string plain = Packet("<rdf:Description xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='x'/>");
  other.XMPPacket().Assign(Text(plain));
  other.General().SetOrientation(toTopLeft);
  EXPECT_FALSE(other.XMPPacket().Changed());
  EXPECT_EQ(other.XMPPacket().Bytes(), Text(plain));
}

TEST(XmpPacket, RemovePolicyRemovesOnAnyChange) {
  TExifData exif;
  exif.SetXMPWritePolicy(xwRemove);
  exif.XMPPacket().Assign(
      Text(Packet("<rdf:Description xmlns:tiff='http://ns.adobe.com/tiff/1.0/' tiff:Orientation='6'/>")));
  exif.General().SetOrientation(toTopLeft);
  EXPECT_FALSE(exif.XMPPacket().HasProperty(XmpNamespace::Tiff, "Orientation"));
}

TEST(XmpPacket, LeavesAPacketThatIsNotXmlAsItIs) {
  for (const std::string& broken : {Packet("<rdf:Description tiff:Orientation='6'"), std::string("<?xpacket x"),
                                    Packet("<a xmlns:tiff='http://ns.adobe.com/tiff/1.0/'><tiff:Orientation>"
                                           "<tiff:Orientation>2</tiff:Orientation></tiff:Orientation></a>")}) {
    TXMPPacket xmp;
    xmp.Assign(Text(broken));
    xmp.UpdateProperty(XmpNamespace::Tiff, "Orientation", "1");
    xmp.RemoveProperty(XmpNamespace::Tiff, "Orientation");
    EXPECT_FALSE(xmp.HasProperty(XmpNamespace::Tiff, "Orientation"));
  }
  TXMPPacket xmp;
  xmp.Assign(Text(Packet("<rdf:Description tiff:Orientation='6'")));
  EXPECT_FALSE(xmp.UpdateProperty(XmpNamespace::Tiff, "Orientation", "1"));
  EXPECT_EQ(xmp.Bytes(), Text(Packet("<rdf:Description tiff:Orientation='6'")));
}

bool Refused(const std::string& packet) {
  TXMPPacket xmp;
  xmp.Assign(Text(packet));
  try {
    xmp.UpdateProperty(XmpNamespace::Tiff, "Orientation", "1");
  } catch (const EXMPPacketTooDeep& error) {
    EXPECT_STREQ(error.what(), "XMP packet is nested too deeply");
    EXPECT_THROW(xmp.HasProperty(XmpNamespace::Tiff, "Orientation"), EXMPPacketTooDeep);
    EXPECT_EQ(xmp.Bytes(), Text(packet));
    return true;
  }
  EXPECT_TRUE(xmp.Changed());
  return false;
}

TEST(XmpPacket, RefusesPacketsNestedDeeperThanTheLimit) {
  const size_t extra = MaxXMPDepth - 4;
  EXPECT_FALSE(Refused(NestedXmp(extra)));
  EXPECT_TRUE(Refused(NestedXmp(extra + 1)));
  EXPECT_TRUE(Refused(NestedXmp(100000)));
  // Markup that opens no element does not count: empty elements, comments,
  // CDATA, processing instructions, and "/>" or ">" inside attribute values
  // (the f elements reach the limit itself).
  std::string flat;
  for (int i = 0; i < 300; ++i) flat += "<b/><!-- <c> --><![CDATA[<d>]]><?pi <e>?><f g='>' h=\"/>\"></f>";
  EXPECT_FALSE(Refused(NestedXmp(extra - 1, flat)));
  // An attribute value ending in "/" does not make its element empty.
  EXPECT_TRUE(Refused(NestedXmp(extra, "<b c='/'>7</b>")));
}

TEST(XmpPacket, CountsTheDepthOfUtf16PacketsToo) {
  for (bool bigEndian : {false, true}) {
    for (size_t extra : {MaxXMPDepth - 4, MaxXMPDepth - 3}) {
      const std::string utf8 = NestedXmp(extra);
      std::string utf16 = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
      for (char c : utf8) {
        utf16 += bigEndian ? '\0' : c;
        utf16 += bigEndian ? c : '\0';
      }
      EXPECT_EQ(Refused(utf16), extra > MaxXMPDepth - 4) << bigEndian << " " << extra;
    }
  }
}

}  // namespace
