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
// the creation of mutexes and mappings as the system refuses a user without
// the privilege to create global objects, when asked to.
class NameRecorder {
 public:
  NameRecorder() { SetSharedObjectCalls(&kCalls); }
  ~NameRecorder() {
    SetSharedObjectCalls(nullptr);
    refuseCreation_ = false;
  }
  static std::set<std::string> Names() {
    std::lock_guard<std::mutex> lock(mutex_);
    return names_;
  }
  static void RefuseCreation(bool refuse) { refuseCreation_ = refuse; }

 private:
  static void Record(LPCSTR name) {
    std::lock_guard<std::mutex> lock(mutex_);
    names_.insert(name ? name : "(none)");
  }
  static HANDLE Refused() {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // (Not named after the system's functions: <windows.h> makes those names
  // macros of the A functions, which these would then hide.)
  static HANDLE WINAPI RecordOpenMutex(DWORD a, BOOL i, LPCSTR n) {
    Record(n);
    return ::OpenMutexA(a, i, n);
  }
  static HANDLE WINAPI RecordCreateMutex(LPSECURITY_ATTRIBUTES s, BOOL o, LPCSTR n) {
    Record(n);
    return refuseCreation_ ? Refused() : ::CreateMutexA(s, o, n);
  }
  static HANDLE WINAPI RecordOpenEvent(DWORD a, BOOL i, LPCSTR n) {
    Record(n);
    return ::OpenEventA(a, i, n);
  }
  static HANDLE WINAPI RecordCreateEvent(LPSECURITY_ATTRIBUTES s, BOOL m, BOOL i, LPCSTR n) {
    Record(n);
    return ::CreateEventA(s, m, i, n);
  }
  static HANDLE WINAPI RecordOpenMapping(DWORD a, BOOL i, LPCSTR n) {
    Record(n);
    return ::OpenFileMappingA(a, i, n);
  }
  static HANDLE WINAPI RecordCreateMapping(HANDLE f, LPSECURITY_ATTRIBUTES s, DWORD p, DWORD h, DWORD l, LPCSTR n) {
    Record(n);
    return refuseCreation_ ? Refused() : ::CreateFileMappingA(f, s, p, h, l, n);
  }
  static constexpr SharedObjectCalls kCalls = {&RecordOpenMutex,   &RecordCreateMutex, &RecordOpenEvent,
                                               &RecordCreateEvent, &RecordOpenMapping, &RecordCreateMapping};
  static inline std::mutex mutex_;
  static inline std::set<std::string> names_;
  static inline bool refuseCreation_ = false;
};

struct TempRules {
  std::string dir = MakeTempDir("shared");
  std::string path = dir + "\\QX5Rule.rle";
  std::string mapping = UniqueMapping("sharedrules");
};

}  // namespace

TEST(SharedObjects, EveryObjectOfBothFilesGoesByItsGlobalName) {
  CDlgNotify::SetTickPeriod(50);
  TempRules rules;
  TempLog log;
  NameRecorder recorder;
  {
    CRuleFile writer, reader;
    ASSERT_EQ(0, writer.Open(rules.path.c_str(), rules.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite,
                             false));
    ASSERT_EQ(0,
              reader.Open(rules.path.c_str(), rules.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  }
  // The Log page opens the log, its mutexes and the event, and its reader
  // waits for the event.
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  {
    CDlgPageLog page;
    page.SetLogSource(log.path, log.mapping, log.event);
    ASSERT_TRUE(page.Create(frame));
    page.StopReader();
  }
  DestroyWindow(frame);
  CDlgNotify::SetTickPeriod(0);

  const std::set<std::string> names = NameRecorder::Names();
  for (const std::string& name : names) EXPECT_EQ(0u, name.rfind("Global\\", 0)) << name;
  for (const std::string& plain : {rules.mapping, rules.mapping + " Read", rules.mapping + " Write", log.mapping,
                                   log.mapping + " Read", log.mapping + " Write", log.event})
    EXPECT_EQ(1u, names.count("Global\\" + plain)) << plain;
}

// A standard user (no privilege to create global objects) reads the rules
// when neither the engine nor the front end runs; a writer in its place is
// told which object it could not make and why.
TEST(SharedObjects, AReaderThatMayNotCreateGoesOnWithoutAndAWriterSaysWhy) {
  TempRules t;
  {
    CRuleFile seed;
    ASSERT_EQ(0, seed.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
    RuleList one;
    one.push_back(MakeRule("*", "C:\\a", TYPE_FILE, KIND_OPEN, RULE_MODE_NORMAL));
    ASSERT_EQ(0, seed.WriteRules(one));
  }
  NameRecorder recorder;
  NameRecorder::RefuseCreation(true);
  CRuleFile reader;
  ASSERT_EQ(0, reader.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false));
  RuleList rules;
  uint32_t count = 0, offset = 0;
  EXPECT_EQ(-3, reader.ReadRules(rules, &count, &offset));
  EXPECT_EQ(1u, count);

  CRuleFile writer;
  EXPECT_EQ(-1, writer.Open(t.path.c_str(), t.mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), writer.LastError());
  EXPECT_EQ(SharedObjectName(t.mapping), writer.FailedObject());
  EXPECT_NE(std::string::npos, writer.FailureText().find(SharedObjectName(t.mapping)));
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
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  {
    CDlgPageLog page;
    page.SetLogSource(log.path, log.mapping, log.event);
    ASSERT_TRUE(page.Create(frame));
    page.StopReader();
  }
  DestroyWindow(frame);
  CloseHandle(squatter);
  CDlgNotify::SetTickPeriod(0);
  ASSERT_EQ(1u, boxes.MessageTexts().size());
  const std::string& text = boxes.MessageTexts()[0];
  EXPECT_NE(std::string::npos, text.find(log.path)) << text;
  EXPECT_NE(std::string::npos, text.find("\"" + name + "\": another kind of object has this name")) << text;
}
