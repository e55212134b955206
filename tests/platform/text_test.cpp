// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "platform/collation.h"
#include "platform/name_compare.h"
#include "platform/text_conversion.h"
#include "platform/wildcard.h"

namespace orvex {
namespace {

TEST(TextConversion, ValidUtf8RoundTripsThroughUtf16) {
  const std::string text = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5";  // é, €, a note (astral)
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"Caf\u00E9 \u20AC \U0001F3B5");
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(TextConversion, InvalidBytesMapToLoneSurrogatesAndBack) {
  // A Latin-1 name, a truncated sequence, an overlong form, an encoded surrogate.
  for (const std::string& bytes : {std::string("caf\xE9.txt"), std::string("x\xC3"),
                                  std::string("\xC0\xAF"), std::string("\xED\xB2\x80")}) {
    const std::u16string wide = Utf8ToUtf16(bytes);
    for (char16_t unit : wide) EXPECT_FALSE(unit >= 0xD800 && unit < 0xDC80) << bytes;
    EXPECT_EQ(Utf16ToUtf8(wide), bytes);
  }
  EXPECT_EQ(Utf8ToUtf16("caf\xE9"), u"caf\xDCE9");
}

TEST(TextConversion, LoneSurrogatesWithoutByteBecomeReplacementCharacter) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(Utf16ToUtf8(u"\xDC10"), "\xEF\xBF\xBD");
}

TEST(TextConversion, LengthsAtEveryExpansion) {
  // Text whose forms differ most in length either way, long enough to leave
  // any inline buffer, alone and behind an ASCII start.
  struct TCase {
    const char* what;
    std::string unit;     // one character's UTF-8 form
    std::u16string wide;  // its UTF-16 form
  };
  const TCase cases[] = {
      {"ascii", "a", u"a"},
      {"two bytes", "\xC3\xA9", u"\u00E9"},
      {"three bytes for one unit", "\xE2\x82\xAC", u"\u20AC"},
      {"four bytes for two units", "\xF0\x9F\x8E\xB5", u"\U0001F3B5"},
      {"a byte that is not UTF-8", "\xFF", u"\xDCFF"},
  };
  for (const TCase& c : cases) {
    for (const size_t count : {size_t{1}, size_t{7}, size_t{100}}) {
      for (const char* start : {"", "plain name "}) {
        SCOPED_TRACE(std::string(c.what) + " x" + std::to_string(count) + " after \"" + start + "\"");
        std::string narrow = start;
        std::u16string wide(start, start + std::char_traits<char>::length(start));
        for (size_t i = 0; i < count; ++i) {
          narrow += c.unit;
          wide += c.wide;
        }
        EXPECT_EQ(Utf8ToUtf16(narrow), wide);
        EXPECT_EQ(Utf16ToUtf8(wide), narrow);
      }
    }
  }
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
}

TEST(TextConversion, BoundedConversionCountsTheTerminator) {
  std::u16string wide = u"unchanged";
  EXPECT_TRUE(Utf8ToUtf16Bounded(std::string(511, 'a'), 512, wide));
  EXPECT_EQ(wide.size(), 511u);
  wide = u"unchanged";
  EXPECT_FALSE(Utf8ToUtf16Bounded(std::string(512, 'a'), 512, wide));
  EXPECT_EQ(wide, u"unchanged");
  // Units are counted, not bytes: 255 two-byte characters fit 256 units.
  std::string umlauts;
  for (int i = 0; i < 255; ++i) umlauts += "\xC3\xBC";
  EXPECT_TRUE(Utf8ToUtf16Bounded(umlauts, 256, wide));

  std::string narrow = "unchanged";
  EXPECT_FALSE(Utf16ToUtf8Bounded(u"\u00FC\u00FC", 4, narrow));  // 4 bytes + terminator
  EXPECT_EQ(narrow, "unchanged");
  EXPECT_TRUE(Utf16ToUtf8Bounded(u"\u00FC\u00FC", 5, narrow));
  EXPECT_EQ(narrow, "\xC3\xBC\xC3\xBC");
}

TEST(TextConversion, CutsKeepWholeCharacters) {
  EXPECT_EQ(CutUtf8("ab\xC3\xA9", 3), "ab");
  EXPECT_EQ(CutUtf8("ab\xC3\xA9", 4), "ab\xC3\xA9");
  EXPECT_EQ(CutUtf8("ab\xE2\x82\xAC" "c", 4), "ab");
  EXPECT_EQ(CutUtf8("ab\x80\x80", 3), "ab\x80");  // stray bytes stand alone
  EXPECT_EQ(CutUtf16(u"ab\U0001F3B5", 3), u"ab");
  EXPECT_EQ(CutUtf16(u"ab\U0001F3B5", 4), u"ab\U0001F3B5");
}

TEST(NameCompare, IgnoresCaseBeyondAscii) {
  EXPECT_TRUE(NamesEqualIgnoreCase(u"Readme.TXT", u"README.txt"));
  EXPECT_TRUE(NamesEqualIgnoreCase(u"\u00E4rger", u"\u00C4RGER"));
  EXPECT_TRUE(NamesEqualIgnoreCase(u"\u03B1\u03B2", u"\u0391\u0392"));
  EXPECT_TRUE(NamesEqualIgnoreCase(u"\U00010428", u"\U00010400"));  // Deseret, astral
  EXPECT_FALSE(NamesEqualIgnoreCase(u"a.txt", u"a.txt "));
  EXPECT_FALSE(NamesEqualIgnoreCase(u"a", u"b"));
  EXPECT_FALSE(NamesEqualIgnoreCase(u"\xDC41", u"\xDC61"));  // escaped bytes keep their case
}

TEST(NameCompare, HashAgreesWithEquality) {
  EXPECT_EQ(NameHash(u"Stra\u00DFe \u00C4"), NameHash(u"STRA\u00DFE \u00E4"));
  EXPECT_EQ(NameHash(u"\U00010428x"), NameHash(u"\U00010400X"));
  EXPECT_NE(NameHash(u"a.txt"), NameHash(u"b.txt"));
}

TEST(Wildcard, MatchesLikeTheFindFunctions) {
  EXPECT_TRUE(MatchesPattern(u"*.*", u"README"));
  EXPECT_TRUE(MatchesPattern(u"*.*", u"a.b.c"));
  EXPECT_TRUE(MatchesPattern(u"*", u"."));
  EXPECT_TRUE(MatchesPattern(u"*.TXT", u"notes.txt"));
  EXPECT_FALSE(MatchesPattern(u"*.txt", u"notes.txt.bak"));
  EXPECT_TRUE(MatchesPattern(u"a?c", u"abc"));
  EXPECT_TRUE(MatchesPattern(u"a?c", u"a\U0001F3B5c"));  // ? is one character
  EXPECT_FALSE(MatchesPattern(u"a?c", u"ac"));
  EXPECT_TRUE(MatchesPattern(u"*a*b*", u"xxaxxbxx"));
  EXPECT_FALSE(MatchesPattern(u"*a*b", u"xxaxxbxc"));
  EXPECT_TRUE(MatchesPattern(u"readme.txt", u"README.TXT"));
  EXPECT_FALSE(MatchesPattern(u"", u"x"));
}

TEST(Collation, CodePointOrderInTheCLocale) {
  EXPECT_LT(LocaleCompare(u"B", u"a"), 0);
  EXPECT_GT(LocaleCompare(u"\u00E9", u"z"), 0);
  EXPECT_EQ(LocaleCompare(u"same", u"same"), 0);
  EXPECT_LT(CollationKey(u"Apple"), CollationKey(u"apple"));
  EXPECT_LT(CollationKey(u"abc"), CollationKey(u"abd"));
}

}  // namespace
}  // namespace orvex
