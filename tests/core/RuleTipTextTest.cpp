#include "rules/RuleTipText.h"

#include <gtest/gtest.h>

namespace {

RULEFILE_ITEM Rule(uint32_t type, uint32_t kinds, const char* source, const char* dest) {
  RULEFILE_ITEM r;
  r.Type = type;
  r.Kinds = kinds;
  r.Mode = RULE_MODE_NORMAL;
  r.Source = source;
  r.SourceLen = static_cast<uint32_t>(r.Source.size());
  r.Dest = dest;
  r.DestLen = static_cast<uint32_t>(r.Dest.size());
  return r;
}

TEST(RuleTipText, SaysEverythingAboutTheRule) {
  struct Case {
    RULEFILE_ITEM rule;
    const char* expected;
  };
  const Case cases[] = {
      {Rule(TYPE_FILE, KIND_OPEN | KIND_RUN | KIND_PRINT, "*", "C:\\Docs\\plan.doc"),
       "Destination: C:\\Docs\\plan.doc\r\nProgram: every program\r\nDenies: Run, Open, Print\r\nType: File\r\n"
       "Your rule"},
      // The same destination for one program only: the tip tells them apart.
      {Rule(TYPE_FILE, KIND_COPY, "C:\\Office\\WINWORD.EXE", "C:\\Docs\\plan.doc"),
       "Destination: C:\\Docs\\plan.doc\r\nProgram: C:\\Office\\WINWORD.EXE\r\nDenies: Copy\r\nType: File\r\n"
       "Your rule"},
      {Rule(TYPE_REGISTRY | TYPE_SYSTEM, KIND_MODIFY | KIND_DELETE, "*",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
       "Destination: HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\r\nProgram: every "
       "program\r\nDenies: Modify, Delete\r\nType: Registry key\r\nBuilt-in system rule (cannot be changed)"},
      // An empty source, no kinds, every kind, a type without a known bit,
      // the network bit winning over the file bit.
      {Rule(TYPE_NET | TYPE_FILE, 0, "", "\\\\server\\share"),
       "Destination: \\\\server\\share\r\nProgram: every program\r\nDenies: nothing\r\nType: Network\r\nYour rule"},
      {Rule(0, KIND_ALL, "C:\\a b\\x.exe", "D:\\*.txt"),
       "Destination: D:\\*.txt\r\nProgram: C:\\a b\\x.exe\r\nDenies: Run, Copy, Open, Modify, Delete, Find, "
       "Print\r\nType: Unknown\r\nYour rule"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, RuleTipText(c.rule)) << c.rule.Dest;
}

}  // namespace
