// The objects shared with the access engine go by their names in the
// global namespace: the rule file's and the log's mappings and mutexes and
// the written event, as the programs actually pass them to the system
// (seen through the seam of rules/SharedObjects.h, since under Wine every
// session is the same). Readers that may not create them go on without;
// writers and the Log page say why they cannot have them.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <set>

#include "LogTestUtil.h"
#include "app/DlgNotify.h"
#include "common/DialogDriver.h"
#include "log/DlgPageLog.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"
#include "rules/SharedNames.h"
#include "rules/SharedObjects.h"

using namespace testsupport;
using namespace logtest;

namespace {

// Records every name passed to the system and forwards the call; refuses
// the creation of mutexes and mappings, as the system refuses a user without
// the privilege to create global objects, while refuseCreation is set.
std::mutex g_lock;
std::set<std::string> g_names;
bool g_refuseCreation = false;

LPCSTR Record(LPCSTR name) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_names.insert(name ? name : "");
  return name;
}

HANDLE Refused() {
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

const SharedObjectCalls kRecordingCalls = {
    [](DWORD a, BOOL i, LPCSTR n) { return OpenMutexA(a, i, Record(n)); },
    [](LPSECURITY_ATTRIBUTES s, BOOL o, LPCSTR n) {
      return g_refuseCreation ? (Record(n), Refused()) : CreateMutexA(s, o, Record(n));
    },
    [](DWORD a, BOOL i, LPCSTR n) { return OpenEventA(a, i, Record(n)); },
    [](LPSECURITY_ATTRIBUTES s, BOOL m, BOOL i, LPCSTR n) { return CreateEventA(s, m, i, Record(n)); },
    [](DWORD a, BOOL i, LPCSTR n) { return OpenFileMappingA(a, i, Record(n)); },
    [](HANDLE f, LPSECURITY_ATTRIBUTES s, DWORD p, DWORD h, DWORD l, LPCSTR n) {
      return g_refuseCreation ? (Record(n), Refused()) : CreateFileMappingA(f, s, p, h, l, Record(n));
    },
};

struct Recording {
  Recording() { SetSharedObjectCalls(&kRecordingCalls); }
  ~Recording() {
    SetSharedObjectCalls(nullptr);
    g_refuseCreation = false;
  }
};

// A Log page on the test's log, created and stopped again.
void RunLogPage(const TempLog& log) {
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  {
    CDlgPageLog page;
    page.SetLogSource(log.path, log.mapping, log.event);
    ASSERT_TRUE(page.Create(frame));
    page.StopReader();
  }
  DestroyWindow(frame);
}

}  // namespace

TEST(SharedObjects, EveryObjectOfBothFilesGoesByItsGlobalName) {
  CDlgNotify::SetTickPeriod(50);
  const std::string rulePath = MakeTempDir("shared") + "\\QX5Rule.rle", ruleMapping = UniqueMapping("shared");
  TempLog log;
  Recording recording;
  {
    CRuleFile writer, reader;
    ASSERT_EQ(0,
              writer.Open(rulePath.c_str(), ruleMapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    ASSERT_EQ(0, reader.Open(rulePath.c_str(), ruleMapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  }
  // The page opens the log, its mutexes and the event; its reader waits for the event.
  RunLogPage(log);
  CDlgNotify::SetTickPeriod(0);
  for (const std::string& name : g_names) EXPECT_EQ(0u, name.rfind("Global\\", 0)) << name;
  for (const std::string& plain : {ruleMapping, ruleMapping + " Read", ruleMapping + " Write", log.mapping,
                                   log.mapping + " Read", log.mapping + " Write", log.event})
    EXPECT_EQ(1u, g_names.count("Global\\" + plain)) << plain;
}

// A standard user (no privilege to create global objects) reads the rules
// when neither the engine nor the front end runs; a writer in its place is
// told which object it could not make and why.
TEST(SharedObjects, AReaderThatMayNotCreateGoesOnWithoutAndAWriterSaysWhy) {
  const std::string path = MakeTempDir("shared") + "\\QX5Rule.rle", mapping = UniqueMapping("shared");
  {
    CRuleFile seed;
    ASSERT_EQ(0, seed.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    RuleList one;
    one.push_back(MakeRule("*", "C:\\a", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
    ASSERT_EQ(0, seed.WriteRules(one));
  }
  Recording recording;
  g_refuseCreation = true;
  CRuleFile reader;
  ASSERT_EQ(0, reader.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  RuleList rules;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-3, reader.ReadRules(rules, &count, &offset));
  EXPECT_EQ(1u, count);

  CRuleFile writer;
  EXPECT_EQ(-1, writer.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), writer.LastError());
  EXPECT_EQ(SharedObjectName(mapping), writer.FailedObject());
}

// The engine's objects are there but cannot be opened: the Log page says so
// once, with the object and the reason, instead of staying empty silently.
TEST(SharedObjects, TheLogPageSaysWhyItCannotFollowTheEnginesLog) {
  CDlgNotify::SetTickPeriod(50);
  TempLog log;
  const std::string name = SharedObjectName(log.mapping + " Read");
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
  ASSERT_NE(nullptr, squatter);
  DialogDriver boxes;
  boxes.On("Varnokel", [&](HWND box) { boxes.Answer(box, IDOK); });
  RunLogPage(log);
  CloseHandle(squatter);
  CDlgNotify::SetTickPeriod(0);
  ASSERT_EQ(1u, boxes.MessageTexts().size());
  const std::string& text = boxes.MessageTexts()[0];
  EXPECT_NE(std::string::npos, text.find(log.path)) << text;
  EXPECT_NE(std::string::npos, text.find("\"" + name + "\": another kind of object has this name")) << text;
}
