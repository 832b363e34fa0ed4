// The names of the objects shared with the access engine: the file mappings
// of the rule file and the log, their Read and Write mutexes and the log's
// written event. The engine runs as a service or a driver in session 0,
// while the front end and vkctl run on a user's desktop in a session of
// their own; a name without a namespace prefix would give each session its
// own object. Every program therefore uses these names in the global
// namespace, made here and nowhere else. Win32-free.
#pragma once

#include <string>
#include <string_view>

// The prefix of the global namespace of named kernel objects.
inline constexpr char kGlobalNamespace[] = "Global\\";

// The name of a shared object in the global namespace: "Global\" followed
// by the name. A name that already names a namespace ("Global\...",
// "Local\...", "Session\...", in any letter case) is kept as it is.
std::string SharedObjectName(std::string_view name);

// The names of a mapped file's shared objects, made from its plain mapping
// name ("QX5Rule.rle"): the mapping and the mutexes "<mapping> Read" and
// "<mapping> Write", each in the global namespace.
struct SharedFileNames {
  std::string mapping;
  std::string readMutex;
  std::string writeMutex;
};
SharedFileNames SharedNamesOfMapping(std::string_view mappingName);

// The default mapping name of a file: the part of the path after its last
// backslash ("QX5Rule.rle" for "C:\Windows\System32\QX5Rule.rle").
std::string MappingNameOfPath(std::string_view path);
