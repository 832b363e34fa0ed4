// The programs' manifests: the front end (and the command-line tool, when it
// is built) asks Windows for administrator rights, the stand-in and the test
// programs run with the caller's rights; all of them keep common controls 6.
#include <gtest/gtest.h>

#include <string>

#include "common/TestSupport.h"

using namespace testsupport;

namespace {

// The text of manifest resource 1 of a program file, or "" when it has none.
// Returns false when the file cannot be loaded at all.
bool ReadManifest(const std::string& path, std::string& text) {
  text.clear();
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return false;
  if (HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    if (HGLOBAL data = LoadResource(module, res)) {
      text.assign(static_cast<const char*>(LockResource(data)), SizeofResource(module, res));
    }
  }
  FreeLibrary(module);
  return true;
}

std::string OwnPath() {
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return buf;
}

const char kCommonControls6[] = "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"";
const char kAdmin[] = "level=\"requireAdministrator\"";
const char kInvoker[] = "level=\"asInvoker\"";

struct Case {
  const char* program;  // in the test program's directory; "" = the test program itself
  bool optional;        // built only in some trees
  const char* level;
};

}  // namespace

TEST(Manifest, EachProgramAsksForTheRightsItNeedsAndKeepsCommonControls6) {
  const Case cases[] = {
      {"Varnokel.exe", false, kAdmin},    {"vkctl.exe", true, kInvoker}, {"engine-sim.exe", false, kInvoker},
      {"rule_seed.exe", false, kInvoker}, {"", false, kInvoker},
  };
  for (const Case& c : cases) {
    const std::string path = *c.program ? ExeDir() + "\\" + c.program : OwnPath();
    SCOPED_TRACE(path);
    if (c.optional && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    std::string text;
    ASSERT_TRUE(ReadManifest(path, text));
    EXPECT_NE(text.find(kCommonControls6), std::string::npos) << text;
    EXPECT_NE(text.find(c.level), std::string::npos) << text;
    const char* other = c.level == kAdmin ? kInvoker : kAdmin;
    EXPECT_EQ(text.find(other), std::string::npos) << text;
  }
}
