#include "preview/SlideText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace salvora::preview {
namespace {

std::string Record(uint16_t version, uint16_t instance, uint16_t type, const std::string& body,
                   uint32_t claimedLength = UINT32_MAX) {
  uint32_t length = claimedLength == UINT32_MAX ? static_cast<uint32_t>(body.size()) : claimedLength;
  uint16_t versionAndInstance = static_cast<uint16_t>(version | instance << 4);
  std::string header = {static_cast<char>(versionAndInstance & 0xFF), static_cast<char>(versionAndInstance >> 8),
                        static_cast<char>(type & 0xFF),               static_cast<char>(type >> 8),
                        static_cast<char>(length & 0xFF),             static_cast<char>(length >> 8 & 0xFF),
                        static_cast<char>(length >> 16 & 0xFF),       static_cast<char>(length >> 24)};
  return header + body;
}
std::string Container(uint16_t type, const std::string& body, uint16_t instance = 0) {
  return Record(0xF, instance, type, body);
}
std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return bytes;
}
std::string CharsAtom(const std::u16string& text) { return Record(0, 0, 0x0FA0, Utf16(text)); }
std::string BytesAtom(const std::string& text) { return Record(0, 0, 0x0FA8, text); }

std::string Text(const std::string& stream) {
  TextCollector out(1000);
  AppendSlideText(stream, out);
  return out.text().toStdString();
}

TEST(SlideTextTest, TextAtomsOfSlidesInStreamOrderWithoutMastersOrNotes) {
  std::string stream =
      Container(0x03E8, Container(0x0FF0, Record(0, 0, 0x03F3, std::string(20, '\0')) +
                                              CharsAtom(u"Title \u00FCber\rSecond line\vbroken"),
                                  0) +
                            Container(0x0FF0, CharsAtom(u"master list text"), 1)) +
      Container(0x03F8, BytesAtom("Click to edit the title")) +
      Container(0x03EE, Container(0xF002, Container(0xF00D, BytesAtom("Drawn caf\xE9")))) +
      Container(0x03F0, BytesAtom("speaker notes"));
  EXPECT_EQ(Text(stream), "Title \u00FCber\nSecond line\nbroken\nDrawn caf\u00E9\n");
}

TEST(SlideTextTest, OnlyTheFirst20SlidesCount) {
  std::string stream;
  for (int slide = 1; slide <= 22; ++slide)
    stream += Container(0x03EE, BytesAtom("Slide " + std::to_string(slide)));
  std::string text = Text(stream);
  EXPECT_NE(text.find("Slide 20\n"), std::string::npos);
  EXPECT_EQ(text.find("Slide 21"), std::string::npos);
}

TEST(SlideTextTest, LengthsBeyondTheirContainerAndOddSizesAreCut) {
  std::string stream = Container(0x03EE, Record(0, 0, 0x0FA0, Utf16(u"ok") + "x", 0xFFFFFFF0)) +
                       Record(0, 0, 0x0FA8, "abc", 7);
  EXPECT_EQ(Text(stream), "ok\nabc\n");
  EXPECT_EQ(Text(std::string(5, '\xFF')), "");
  EXPECT_FALSE(PresentationText("not a compound file").ok);
}

}  // namespace
}  // namespace salvora::preview
