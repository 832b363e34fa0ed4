#include "settings/Keywords.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct MatchCase {
  const char* text;
  const char* list;
  bool match;
};

TEST(Keywords, MatchIsACaseFreeSubstringSearchOverEveryKeyword) {
  const MatchCase cases[] = {
      {"the Secret plan", "secret|plan", true},
      {"SECRET", "secret|plan", true},
      {"a planet", "secret|plan", true},  // substring, not word
      {"nothing here", "secret|plan", false},
      {"x PLAN y", "SeCrEt|pLaN", true},      // the list's case does not matter either
      {"only plan", "|secret||plan|", true},  // empty keywords skipped, the rest tried
      {"only secret", "|secret||plan|", true},
      {"a|b", "|secret||plan|", false},  // "|" itself is never a keyword
      {"anything", "", false},           // an empty list matches nothing
      {"anything", "|||", false},
      {"", "a", false},
      {"abc", "abc", true},      // a single keyword without separator
      {"abc", "zzz|abc", true},  // the last keyword counts
      {"abc", "abcd", false},    // a keyword longer than the text
      {"pro tected", "protected", false},
      {"x", "x|", true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.match, KeywordsMatch(c.text, c.list)) << c.text << " / " << c.list;
}

TEST(Keywords, InputsEndAtTheirFirstNul) {
  EXPECT_FALSE(KeywordsMatch("harmless\0secret"s, "secret"));
  EXPECT_FALSE(KeywordsMatch("secret", "plan\0secret"s));
  EXPECT_TRUE(KeywordsMatch("plan\0"s, "plan"));
}

TEST(Keywords, LettersOutsideAsciiAreComparedAsTheyAre) {
  EXPECT_TRUE(
      KeywordsMatch("Gr\xc3\xb6\xc3\x9f"
                    "e",
                    "gr\xc3\xb6\xc3\x9f"
                    "e"));
  EXPECT_FALSE(KeywordsMatch("\xc4", "\xe4"));
}

TEST(Keywords, BoxTextBecomesOneLineJoinedByBars) {
  const std::pair<const char*, const char*> cases[] = {
      {"alpha\r\nbeta", "alpha|beta"},
      {"alpha\rbeta\ngamma", "alpha|beta|gamma"},
      {"  alpha\r\nbeta \r\n\r\n", "alpha|beta"},  // trailing empty lines trimmed
      {"a\r\n\r\nb", "a||b"},                      // an empty line inside stays an empty keyword
      {"a\n\rb", "a||b"},                          // LF CR is two separators
      {"a|b", "a|b"},                              // the stored form stays as it is
      {" \t\r\n ", ""},
      {"", ""},
      {"one keyword", "one keyword"},  // blanks inside a keyword stay
  };
  for (const auto& [box, list] : cases) EXPECT_EQ(list, KeywordsFromBoxText(box)) << box;
}

TEST(Keywords, TypedLinesMatchLikeTheStoredList) {
  const std::string list = KeywordsFromBoxText("secret\r\nplan\r\n");
  EXPECT_TRUE(KeywordsMatch("Planet", list));
  EXPECT_FALSE(KeywordsMatch("nothing here", list));
}

}  // namespace
