// Files page benchmark (not a test): a real Files page with 1,250 rules,
// each figure a ratio to a plain report-view list view measured in the same
// run and filled with the same texts and images.
//
//   rebuild   the page reloads its 1,250 rules (LoadRules: the pass behind
//             the progress window, then every row rebuilt), less the same
//             reload of an empty rule file, against deleting and filling the
//             plain list (an image, the dest, seven kind images per row).
//   paint     one full paint of the page's list against one of the plain
//             list, both into a memory bitmap of the same size.
//
//   bench_lists [rounds]      (medians of the rounds, default 7)
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/DlgNotify.h"
#include "bench/BenchClock.h"
#include "framework/Handle.h"
#include "framework/Module.h"
#include "resource.h"
#include "rules/DlgFilePage.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"

using bench::Median;
using bench::Now;

namespace {

constexpr int kRules = 1250;
constexpr int kWidth = 1000, kHeight = 600;
constexpr int kColumns = 9;
const int kColumnWidths[kColumns] = {30, 320, 64, 64, 64, 64, 64, 64, 64};
const uint32_t kKinds[7] = {KIND_RUN, KIND_COPY, KIND_OPEN, KIND_MODIFY, KIND_DELETE, KIND_FIND, KIND_PRINT};

// What a user with the built-in system rules and folders of their own has:
// one rule in eight a system rule (registry keys and files), the rest files
// and folders, with a few kinds each.
RuleList MakeRules() {
  RuleList rules;
  for (int i = 0; i < kRules; ++i) {
    const uint32_t kinds = KIND_COPY | (i % 3 ? KIND_OPEN : KIND_MODIFY) | (i % 7 ? 0 : KIND_DELETE);
    if (i % 8 == 0) {
      const bool registry = i % 16 == 0;
      const std::string dest = registry ? "hkey_local_machine\\Software\\Classes\\Key" + std::to_string(i)
                                        : "C:\\Windows\\System32\\drivers\\sys" + std::to_string(i) + ".sys";
      rules.push_back(
          MakeRule("*", dest, (registry ? TYPE_REGISTRY : TYPE_FILE) | TYPE_SYSTEM, kinds, RULE_MODE_NORMAL));
    } else {
      const std::string dest =
          "C:\\Users\\bob\\Documents\\Project " + std::to_string(i / 40) + "\\f" + std::to_string(i) + ".docx";
      rules.push_back(MakeRule("*", dest, TYPE_FILE, kinds, RULE_MODE_NORMAL));
    }
  }
  return rules;
}

bool Seed(const std::string& path, const std::string& mapping, const RuleList& rules) {
  CRuleFile file;
  if (file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0) return false;
  const bool ok = file.WriteRules(rules) == 0;
  file.CloseAfterWrite();
  return ok;
}

int TypeImage(uint32_t type) {
  int image = CDlgFilePage::IMG_FILE;
  if (type & TYPE_REGISTRY) image = CDlgFilePage::IMG_REGISTRY;
  if (type & TYPE_NET) image = CDlgFilePage::IMG_NET;
  return image;
}

// One paint of a list window's client area into a bitmap of its size.
double Paint(HWND list) {
  HDC screen = GetDC(list);
  MemoryDC mem(screen, kWidth, kHeight);
  ReleaseDC(list, screen);
  const double t0 = Now();
  SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.Get()), PRF_CLIENT | PRF_ERASEBKGND);
  return Now() - t0;
}

// The baseline: a report-view list view without owner drawing, with the
// page's images, columns and grid.
HWND MakePlainList(HWND host, HIMAGELIST images) {
  HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                              WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, 0, 0,
                              kWidth, kHeight, host, nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
  ListView_SetImageList(list, images, LVSIL_SMALL);
  for (int c = 0; c < kColumns; ++c) {
    LVCOLUMNA col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    col.fmt = c == 1 ? LVCFMT_LEFT : LVCFMT_CENTER;
    col.cx = kColumnWidths[c];
    col.pszText = const_cast<char*>("Column");
    ListView_InsertColumn(list, c, &col);
  }
  return list;
}

double FillPlain(HWND list, const RuleList& rules) {
  const double t0 = Now();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  ListView_SetItemCount(list, static_cast<int>(rules.size()));
  int row = 0;
  for (const auto& rule : rules) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE | LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = const_cast<char*>("");
    item.iImage = TypeImage(rule->Type);
    item.lParam = reinterpret_cast<LPARAM>(rule.get());
    const int at = ListView_InsertItem(list, &item);
    LVITEMA sub{};
    sub.mask = LVIF_TEXT;
    sub.iItem = at;
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(rule->Dest.c_str());
    ListView_SetItem(list, &sub);
    for (int k = 0; k < 7; ++k) {
      sub.mask = LVIF_IMAGE;
      sub.iSubItem = 2 + k;
      sub.iImage = (rule->Kinds & kKinds[k]) ? CDlgFilePage::IMG_DENIED : CDlgFilePage::IMG_APPROVED;
      ListView_SetItem(list, &sub);
    }
    ++row;
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  return Now() - t0;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void PrintRow(const char* what, double ms, double baseMs, const char* baseline) {
  printf("%-34s %9.1f %9.1f %7.2f  %s\n", what, ms, baseMs, baseMs > 0 ? ms / baseMs : 0.0, baseline);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 7;
  SetAppInstance(GetModuleHandleA(nullptr));
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  // The progress window shows every pass for one tick; the figure is
  // about the lists, so the tick is kept short (both reloads pay it).
  CDlgNotify::SetTickPeriod(1);

  char tmp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tmp);
  const std::string tag = std::to_string(GetCurrentProcessId());
  const std::string path = std::string(tmp) + "vk_bench_lists_" + tag + ".rle";
  const std::string mapping = "VkBench.lists." + tag;
  const RuleList rules = MakeRules();
  if (!Seed(path, mapping, rules)) {
    fprintf(stderr, "cannot write %d rules into %s\n", kRules, path.c_str());
    return 1;
  }

  HWND host = CreateWindowExA(0, "STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  auto page = std::make_unique<CDlgFilePage>();
  page->SetRuleFilePath(path, mapping);
  if (!page->Create(host)) {
    fprintf(stderr, "cannot create the Files page\n");
    return 1;
  }
  SetWindowPos(page->m_hWnd, nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER | SWP_SHOWWINDOW);
  Pump();
  if (static_cast<int>(page->Rules().size()) != kRules) {
    fprintf(stderr, "the page read %zu of %d rules\n", page->Rules().size(), kRules);
    return 1;
  }

  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 4);
  if (HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_FILE_IMAGES),
                                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {
    ImageList_AddMasked(images, bitmap, RGB(255, 0, 255));
    DeleteObject(bitmap);
  }
  HWND plainHost = CreateWindowExA(0, "STATIC", "plain", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  HWND plain = MakePlainList(plainHost, images);
  FillPlain(plain, rules);

  std::vector<double> reloadFull, reloadEmpty, fill, pagePaint, plainPaint;
  const RuleList none;
  for (int n = 0; n < rounds; ++n) {
    // Full and empty alternate, so that a change of the machine's load
    // falls on both alike.
    Seed(path, mapping, rules);
    double t0 = Now();
    page->LoadRules();
    reloadFull.push_back(Now() - t0);
    Pump();
    pagePaint.push_back(Paint(page->ListWindow()));

    Seed(path, mapping, none);
    t0 = Now();
    page->LoadRules();
    reloadEmpty.push_back(Now() - t0);
    Pump();

    fill.push_back(FillPlain(plain, rules));
    Pump();
    plainPaint.push_back(Paint(plain));
  }
  const int rows = ListView_GetItemCount(plain);

  const double full = Median(reloadFull) * 1e3, empty = Median(reloadEmpty) * 1e3;
  printf("Files page, %d rules (%d rows in the plain list), medians of %d rounds\n", kRules, rows, rounds);
  printf("%-34s %9s %9s %7s  %s\n", "measure", "ms", "base ms", "ratio", "baseline");
  PrintRow("reload with 1,250 rules", full, 0, "");
  PrintRow("reload of an empty rule file", empty, 0, "");
  PrintRow("rebuild (the difference)", full - empty, Median(fill) * 1e3, "plain list view filled alike");
  PrintRow("one full paint", Median(pagePaint) * 1e3, Median(plainPaint) * 1e3, "plain list view, same view");

  page.reset();
  DestroyWindow(host);
  DestroyWindow(plainHost);
  ImageList_Destroy(images);
  DeleteFileA(path.c_str());
  OleUninitialize();
  return 0;
}
