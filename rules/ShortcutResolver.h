// Replaces a shell shortcut (.lnk) path by the path of its target, so that
// rules always name the real object and never the shortcut file.
#pragma once

// path: a NUL-terminated path in a buffer of 260 characters. A path that is
// not a shortcut, or whose target cannot be read, is left unchanged.
void ResolveShortcut(char path[260]);
