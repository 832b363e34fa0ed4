#include "rules/NoCopyPaths.h"

#include <mutex>
#include <utility>

#include "rules/RuleSet.h"

namespace {

struct Shared {
  std::mutex lock;
  std::vector<std::string> paths;
};

Shared& Instance() {
  static Shared shared;
  return shared;
}

}  // namespace

namespace NoCopyPaths {

void Replace(std::vector<std::string> paths) {
  Shared& s = Instance();
  std::lock_guard<std::mutex> guard(s.lock);
  s.paths = std::move(paths);
}

void Clear() { Replace({}); }

std::vector<std::string> Snapshot() {
  Shared& s = Instance();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.paths;
}

bool Contains(std::string_view path) {
  Shared& s = Instance();
  std::lock_guard<std::mutex> guard(s.lock);
  return IsNoCopyPath(s.paths, path);
}

}  // namespace NoCopyPaths
