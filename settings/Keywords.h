// The no-copy keyword list: a text of keywords separated by "|", as the
// Options page's keyword box builds it and the clipboard guard tests copied
// text against it. Free of <windows.h> so that it builds and is tested
// natively.
#pragma once

#include <string>
#include <string_view>

// True when text contains one of the keywords of list, letter case ignored
// (ASCII). Empty keywords (from "||" or a leading or trailing "|") are
// skipped, so an empty list matches nothing. Both inputs end at their first
// NUL, as the C strings they come from would.
bool KeywordsMatch(std::string_view text, std::string_view list);

// The keyword list from the keyword box's text: white space trimmed at both
// ends, then every CR LF pair, every other CR and every other LF turned into
// "|", so that keywords typed on separate lines are joined.
std::string KeywordsFromBoxText(std::string_view boxText);
