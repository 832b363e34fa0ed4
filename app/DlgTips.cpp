#include "app/DlgTips.h"

#include <commctrl.h>

#include <exception>

#include "framework/Module.h"
#include "framework/Trace.h"
#include "resource.h"
#include "settings/Settings.h"

namespace {

struct Category {
  UINT name;
  int level;
  int image;  // 0: icon 207, 1: icon 209
  UINT hint;
};

// In list order; the index is the category number.
const Category kCategories[CDlgTips::kCategoryCount] = {
    {IDS_TIPCAT_OVERALL, 0, 0, IDS_TIPTEXT_OVERALL},   {IDS_TIPCAT_RULES, 0, 0, IDS_TIPTEXT_RULES},
    {IDS_TIPCAT_ADD, 1, 0, IDS_TIPTEXT_ADD},           {IDS_TIPCAT_EDIT, 1, 0, IDS_TIPTEXT_EDIT},
    {IDS_TIPCAT_DELETE, 1, 0, IDS_TIPTEXT_DELETE},     {IDS_TIPCAT_LOG, 0, 1, IDS_TIPTEXT_LOG},
    {IDS_TIPCAT_VIEW_LOG, 1, 1, IDS_TIPTEXT_VIEW_LOG}, {IDS_TIPCAT_SAVE_LOG, 1, 1, IDS_TIPTEXT_SAVE_LOG},
    {IDS_TIPCAT_JUMP, 1, 1, IDS_TIPTEXT_JUMP},
};

constexpr UINT_PTR kShowTimer = 1;
constexpr int kShowTries = 100;  // 5 seconds

// The Tips window of this thread, for the keyboard filter.
thread_local CDlgTips* t_tips = nullptr;

}  // namespace

CDlgTips::CDlgTips() : CBkDialogST(IDD_TIPS) {}

CDlgTips::~CDlgTips() {
  if (filter_) UnhookWindowsHookEx(filter_);
  if (t_tips == this) t_tips = nullptr;
}

UINT CDlgTips::HintString(int category) {
  return category >= 0 && category < kCategoryCount ? kCategories[category].hint : 0;
}

void CDlgTips::DoDataExchange() {
  label_.Attach(Item(IDC_TIPS_CATEGORY_LABEL));
  categories_.Attach(Item(IDC_TIPS_CATEGORY));
  hint_.AttachStatic(Item(IDC_TIPS_TEXT));
  dontShow_.Attach(Item(IDC_TIPS_DONTSHOW));
}

BOOL CDlgTips::OnInitDialog() {
  label_.SetText(LoadStr(IDS_TIPS_CATEGORY));
  dontShow_.SetText(LoadStr(IDS_TIPS_DONTSHOW));
  SetBackgroundBitmap(IDB_BACKGROUND);
  try {
    const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    HIMAGELIST images = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 2, 0);
    for (UINT id : {IDI_TIPS_RULES, IDI_TIPS_LOG}) {
      HICON icon = static_cast<HICON>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, cx, cy, 0));
      if (icon) {
        ImageList_AddIcon(images, icon);
        DestroyIcon(icon);
      }
    }
    categories_.SetImageList(images, true);
    int group = -1;
    for (const Category& c : kCategories) {
      const int index = categories_.AddItem(LoadStr(c.name), c.image, c.level == 0 ? -1 : group);
      if (c.level == 0) group = index;
    }
    categories_.SelectItem(0);
    categories_.SetOnConfirm([this](int index) {
      if (index >= 0 && index < kCategoryCount) ShowCategory(index);
    });

    hint_.SetMargins(5, 5);
    hint_.SetAnimationInterval(0);
    hint_.SetBackgroundColours(RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0));
    hint_.SetTextColour(RGB(0, 255, 0));
    ShowCategory(0);
  } catch (const std::exception&) {
    Trace("Exception in CDlgTips::OnInitDialog\n");
  }
  // Enter, Escape and Tab reach the window although the main window's
  // modal loop runs the messages.
  t_tips = this;
  filter_ = SetWindowsHookExA(WH_MSGFILTER, &CDlgTips::MessageFilter, nullptr, GetCurrentThreadId());
  return TRUE;
}

void CDlgTips::ShowCategory(int category) {
  current_ = category;
  if (const UINT hint = HintString(category)) hint_.SetText(LoadStr(hint));
  if (category >= 0 && category < categories_.Count()) categories_.SelectItem(category);
}

void CDlgTips::SetCheckFromSetting(DWORD showTips) {
  dontShow_.Send(BM_SETCHECK, showTips == 0 ? BST_CHECKED : BST_UNCHECKED);
}

void CDlgTips::ShowOverOwner() {
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  if (!owner || IsWindowVisible(owner)) {
    KillTimer(m_hWnd, kShowTimer);
    ShowWindow(m_hWnd, SW_SHOW);
    return;
  }
  // The main window shows itself only when its message loop first idles;
  // shown before it, this window would end up under it. A timer fires only
  // once the queue is idle, when the owner is up.
  showTries_ = 0;
  SetTimer(m_hWnd, kShowTimer, 50, nullptr);
}

void CDlgTips::OnTimer(UINT_PTR id) {
  if (id != kShowTimer) return;
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  const bool ownerUp = !owner || IsWindowVisible(owner);
  if (!ownerUp && ++showTries_ < kShowTries) return;
  KillTimer(m_hWnd, kShowTimer);
  if (ownerUp) ShowWindow(m_hWnd, SW_SHOW);  // an owner that stayed hidden went to the tray: no tips
}

void CDlgTips::OnOK() { ShowWindow(m_hWnd, SW_HIDE); }

void CDlgTips::OnCancel() { ShowWindow(m_hWnd, SW_HIDE); }

void CDlgTips::CancelShow() { KillTimer(m_hWnd, kShowTimer); }

bool CDlgTips::OnCommand(UINT id, UINT code, HWND control) {
  if (id == IDC_TIPS_DONTSHOW && code == BN_CLICKED && control) {
    const bool ticked = dontShow_.Send(BM_GETCHECK) == BST_CHECKED;
    WriteShowTips(ticked ? 0 : 1);
    return true;
  }
  return CBkDialogST::OnCommand(id, code, control);
}

LRESULT CDlgTips::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    if (filter_) UnhookWindowsHookEx(filter_);
    filter_ = nullptr;
    if (t_tips == this) t_tips = nullptr;
  }
  return CBkDialogST::WindowProc(msg, wp, lp);
}

LRESULT CALLBACK CDlgTips::MessageFilter(int code, WPARAM wp, LPARAM lp) {
  if (code == MSGF_DIALOGBOX && t_tips && t_tips->m_hWnd) {
    MSG* msg = reinterpret_cast<MSG*>(lp);
    HWND tips = t_tips->m_hWnd;
    if ((msg->hwnd == tips || IsChild(tips, msg->hwnd)) && IsDialogMessageA(tips, msg)) return TRUE;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}
