// Text between the system code page, in which the rule file and the log
// hold their strings, and UTF-8, in which exports and vkctl's JSON are.
#pragma once

#include <string>
#include <string_view>

// False when the text cannot be read in the code page it is said to be in.
// out may be the string that in views: it is written last.
bool AnsiToUtf8(std::string_view in, std::string& out);
// False also when a character has no exact form in the system code page.
bool Utf8ToAnsi(std::string_view in, std::string& out);
