// A row colour picked on the Options page colours the Log page's rows that
// come afterwards; rows already shown keep the colour they had.
#include <gtest/gtest.h>

#include <memory>

#include "LogTestUtil.h"

#include "app/DlgNotify.h"
#include "log/DlgPageLog.h"
#include "resource.h"
#include "settings/DlgPageOptions.h"
#include "settings/Settings.h"

using namespace testsupport;
using namespace logtest;

TEST(OptionsColours, APickedReadColourColoursOnlyTheReadRowsAddedAfterwards) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
  SettingsDefaults();
  CDlgNotify::SetTickPeriod(100);
  TempLog log;
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 600, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  {
    CDlgPageOptions options;
    ASSERT_TRUE(options.Create(frame));
    auto page = std::make_unique<CDlgPageLog>();
    page->SetLogSource(log.path, log.mapping, log.event);
    page->Reader().SetTextLogPath(log.dir + "\\text.log");
    ASSERT_TRUE(page->Create(frame));
    auto record = [&](int action, const char* name) {
      return RunSim("log " + log.SimArgs() + " --type 1 --action " + std::to_string(action) +
                        " --text \"2026-12-08 10:00:00,C:\\Tools\\v.exe,Denied : C:\\d\\" + name + "\"",
                    log.dir + "\\sim.txt");
    };
    auto rows = [&] { return page->List().RowCount(); };
    // A row is complete once its detail column holds the record's path.
    auto detail = [&](int row) {
      char buf[256] = {};
      LVITEMA item{};
      item.iSubItem = 4;
      item.pszText = buf;
      item.cchTextMax = sizeof buf;
      SendMessageA(page->List(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      return std::string(buf);
    };
    auto complete = [&](int n) { return rows() >= n && detail(n - 1).find("C:\\d\\") == 0; };
    const COLORREF before = g_clrRead;
    ASSERT_EQ(0u, record(KIND_OPEN, "first"));
    ASSERT_TRUE(PumpUntil([&] { return complete(1); }, 30000));
    PumpUntil([] { return false; }, 300);  // the reader's pass ends

    // Gold from the palette of button 1029.
    SendMessageA(GetDlgItem(options, IDC_OPT_CLR_READ), BM_CLICK, 0, 0);
    CColourPopup* palette = CColourPopup::Current();
    ASSERT_TRUE(palette);
    const RECT gold = palette->ItemRect(25);
    SendMessageA(palette->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(gold.left + 4, gold.top + 4));
    SendMessageA(palette->Window(), WM_LBUTTONUP, 0, MAKELPARAM(gold.left + 4, gold.top + 4));
    ASSERT_EQ(RGB(255, 215, 0), g_clrRead.load());
    ASSERT_NE(before, RGB(255, 215, 0));

    ASSERT_EQ(0u, record(KIND_OPEN, "second"));
    ASSERT_EQ(0u, record(KIND_OPEN | KIND_MODIFY, "third"));
    ASSERT_TRUE(PumpUntil([&] { return complete(3); }, 30000));
    EXPECT_EQ(before, page->List().ResolveCell(0, 2, false).back);
    EXPECT_EQ(RGB(255, 215, 0), page->List().ResolveCell(1, 2, false).back);
    EXPECT_EQ(g_clrWrite.load(), page->List().ResolveCell(2, 2, false).back) << "Modify keeps its own colour";
    page.reset();
  }
  DestroyWindow(frame);
  CDlgNotify::SetTickPeriod(0);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
  SettingsDefaults();
}
