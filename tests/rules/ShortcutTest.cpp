// Shortcut paths are replaced by their targets; anything else is kept.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "common/TestSupport.h"
#include "rules/ShortcutResolver.h"

using namespace testsupport;

namespace {

bool SaveShortcut(const std::string& linkPath, const std::string& target) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  link->SetPath(target.c_str());
  IPersistFile* file = nullptr;
  bool ok = false;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    ok = SUCCEEDED(file->Save(wide, TRUE));
    file->Release();
  }
  link->Release();
  return ok;
}

void Resolve(const std::string& in, std::string& out) {
  char buffer[260] = {};
  strncpy(buffer, in.c_str(), sizeof buffer - 1);
  ResolveShortcut(buffer);
  out = buffer;
}

}  // namespace

TEST(ResolveShortcut, ReplacesAShortcutByItsTarget) {
  std::string dir = MakeTempDir("lnk");
  std::string target = dir + "\\Target Document.txt";
  std::ofstream(target) << "x";
  std::string link = dir + "\\Shortcut to doc.lnk";
  ASSERT_TRUE(SaveShortcut(link, target));
  std::string out;
  Resolve(link, out);
  EXPECT_EQ(target, out);
}

TEST(ResolveShortcut, KeepsPathsThatAreNoShortcuts) {
  std::string dir = MakeTempDir("lnk");
  std::string plain = dir + "\\plain.txt";
  std::ofstream(plain) << "not a link";
  std::string out;
  Resolve(plain, out);
  EXPECT_EQ(plain, out);
  // A missing file, a directory and a pattern come back as they were too.
  Resolve(dir + "\\missing.lnk", out);
  EXPECT_EQ(dir + "\\missing.lnk", out);
  Resolve(dir, out);
  EXPECT_EQ(dir, out);
  Resolve("*.exe", out);
  EXPECT_EQ("*.exe", out);
  Resolve("", out);
  EXPECT_EQ("", out);
}

TEST(ResolveShortcut, WorksOnAThreadWithoutCom) {
  std::string dir = MakeTempDir("lnk");
  std::string target = dir + "\\t.exe";
  std::ofstream(target) << "x";
  std::string link = dir + "\\t.lnk";
  ASSERT_TRUE(SaveShortcut(link, target));
  std::string out;
  HANDLE t = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        std::unique_ptr<std::pair<std::string, std::string*>> args(
            static_cast<std::pair<std::string, std::string*>*>(p));
        Resolve(args->first, *args->second);
        return 0;
      },
      new std::pair<std::string, std::string*>(link, &out), 0, nullptr);
  ASSERT_TRUE(t);
  WaitForSingleObject(t, 10000);
  CloseHandle(t);
  EXPECT_EQ(target, out);
}
