#include "common/text.h"

#include <gtest/gtest.h>

namespace tvi {
namespace {

TEST(Trimmed, RemovesCodesZeroToThirtyTwoOnBothSidesOnly) {
  EXPECT_EQ(trimmed(std::string("\0\t\r\n \x1F" "Aula 1\x01 \n", 14)), "Aula 1");
  EXPECT_EQ(trimmed("  a  b  "), "a  b");
  EXPECT_EQ(trimmed(" \t\n"), "");
  EXPECT_EQ(trimmed(""), "");
  // A no-break space (0xA0 in the code page, C2 A0 in UTF-8) is no blank.
  EXPECT_EQ(trimmed("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");
}

struct AnsiCase {
  const char* utf8;
  const char* ansi;
};

// Valencian and Castilian letters, punctuation, and each of the code page's
// 0x80-0x9F characters.
const AnsiCase kAnsiCases[] = {
    {"Educació Física", "Educaci\xF3 F\xEDsica"},
    {"àèéíïòóúüçñ", "\xE0\xE8\xE9\xED\xEF\xF2\xF3\xFA\xFC\xE7\xF1"},
    {"ÀÈÉÍÏÒÓÚÜÇÑ", "\xC0\xC8\xC9\xCD\xCF\xD2\xD3\xDA\xDC\xC7\xD1"},
    {"Col·legi", "Col\xB7legi"},
    {"¿Qué? ¡Sí!", "\xBFQu\xE9? \xA1S\xED!"},
    {"ª º « » ß ÿ", "\xAA \xBA \xAB \xBB \xDF \xFF"},
    {"€‚ƒ„…†‡ˆ‰Š‹Œ", "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C"},
    {"Ž‘’“”•–—˜™š›œžŸ", "\x8E\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F"},
};

TEST(Ansi, ConvertsBothWaysForTheWholeCodePage) {
  for (const auto& c : kAnsiCases) {
    EXPECT_EQ(toAnsi(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(fromAnsi(c.ansi), c.utf8) << c.utf8;
  }
}

TEST(Ansi, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(toAnsi(fromAnsi(all)), all);
}

TEST(Ansi, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
  EXPECT_EQ(toAnsi("Łódź"), "?\xF3" "d?");      // Polish letters
  EXPECT_EQ(toAnsi("a\xE2\x82\xB9" "b"), "a?b");  // rupee sign, 3 bytes
  EXPECT_EQ(toAnsi("\xF0\x9F\x98\x80!"), "?!");   // emoji, 4 bytes
  EXPECT_EQ(toAnsi("ā"), "?");                    // no best-fit to "a"
}

TEST(Ansi, MalformedUtf8BecomesQuestionMarks) {
  const AnsiCase cases[] = {
      {"a\xFF" "b", "a?b"},              // byte that never starts a sequence
      {"a\xC3", "a?"},                   // cut at the end
      {"\xE2\x82" "A", "?A"},            // cut before ASCII: one mark
      {"\xC0\xAF", "??"},                // overlong "/"
      {"\xED\xA0\x80", "???"},           // UTF-16 surrogate
      {"\xF4\x90\x80\x80", "????"},      // past U+10FFFF
      {"\x80\x80", "??"},                // lone continuation bytes
  };
  for (const auto& c : cases) EXPECT_EQ(toAnsi(c.utf8), c.ansi) << c.ansi;
}

TEST(Ansi, C1ControlsKeepTheirByte) {
  // A Latin-1 document holding byte 0x80 reaches the table as the euro sign.
  EXPECT_EQ(toAnsi("\xC2\x80"), "\x80");
  EXPECT_EQ(toAnsi("\xC2\x81"), "\x81");
  EXPECT_EQ(windows1252Byte(0x80), -1);
  EXPECT_EQ(windows1252Byte(0x81), 0x81);
  EXPECT_EQ(windows1252Byte(0x20AC), 0x80);
}

TEST(AnsiUpper, FoldsAccentedLettersAndTheCodePageSpecials) {
  EXPECT_EQ(ansiUpper(toAnsi("matemàtiques ñç òüï")), toAnsi("MATEMÀTIQUES ÑÇ ÒÜÏ"));
  EXPECT_EQ(ansiUpper(toAnsi("šœžÿ")), toAnsi("ŠŒŽŸ"));
  // ß, µ, ÷ and the ordinals have no upper case in the code page.
  EXPECT_EQ(ansiUpper(toAnsi("ßµ÷ªº")), toAnsi("ßµ÷ªº"));
  EXPECT_EQ(ansiUpper("abc-xyz 09"), "ABC-XYZ 09");
}

TEST(AnsiEqualNoCase, ComparesWithoutLetterCase) {
  EXPECT_TRUE(ansiEqualNoCase(toAnsi("Anglés"), toAnsi("ANGLÉS")));
  EXPECT_TRUE(ansiEqualNoCase("1eso-a", "1ESO-A"));
  EXPECT_FALSE(ansiEqualNoCase(toAnsi("Angles"), toAnsi("Anglés")));
  EXPECT_FALSE(ansiEqualNoCase("ABC", "ABCD"));
  EXPECT_FALSE(ansiEqualNoCase("\xF7", "\xD7"));  // ÷ and × are not a case pair
}

}  // namespace
}  // namespace tvi
