// The process-wide list of copy-protected paths: the dest of every file rule
// and of every rule that denies copying. The Files page replaces it after
// every reload of the rules; the clipboard guard asks it whether a copied
// file is protected. Both may run on different threads, so every access
// takes the list's lock.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace NoCopyPaths {

// Replaces the whole list.
void Replace(std::vector<std::string> paths);
void Clear();
// A copy of the current list.
std::vector<std::string> Snapshot();
// True when path is in the list (ASCII case ignored); an empty path never is.
bool Contains(std::string_view path);

}  // namespace NoCopyPaths
