#include "rules/RowTipList.h"

#include <commctrl.h>

CRowTipList::~CRowTipList() { DestroyTip(); }

void CRowTipList::DestroyTip() {
  if (tip_) DestroyWindow(tip_);
  tip_ = nullptr;
  tipRow_ = -1;
}

bool CRowTipList::EnableRowTips(TipText text) {
  text_ = std::move(text);
  if (tip_) return true;
  if (!m_hWnd) return false;
  tip_ =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!tip_) return false;
  // Several lines: the tip breaks at its line ends and wraps long ones.
  SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
  SendMessageA(tip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kTipShowMs, 0));
  return true;
}

void CRowTipList::SetToolRow(int row) {
  if (!tip_ || row == tipRow_) return;
  TOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.hwnd = m_hWnd;
  if (tipRow_ >= 0) {
    ti.uId = ToolId(tipRow_);
    SendMessageA(tip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
  tipRow_ = -1;
  if (row < 0) return;
  RECT rc{};
  rc.left = LVIR_BOUNDS;
  if (!SendMessageA(m_hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc))) return;
  // The whole width of the list: the tip belongs to the row, not a cell.
  RECT client = ClientRect();
  rc.left = client.left;
  rc.right = client.right;
  ti.uId = ToolId(row);
  ti.rect = rc;
  ti.lpszText = LPSTR_TEXTCALLBACKA;
  if (SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti))) tipRow_ = row;
}

void CRowTipList::TrackPointer(POINT client) {
  LVHITTESTINFO hit{};
  hit.pt = client;
  const int row = static_cast<int>(SendMessageA(m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  SetToolRow(row >= 0 && (hit.flags & LVHT_ONITEM) ? hit.iItem : -1);
}

bool CRowTipList::OnTipNotify(NMHDR* header) {
  if (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW) return false;
  const int row = static_cast<int>(header->idFrom) - 1;
  textA_ = row >= 0 && row < RowCount() && text_ ? text_(row) : std::string();
  if (header->code == TTN_GETDISPINFOA) {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    info->hinst = nullptr;
    info->lpszText = textA_.data();
  } else {
    // Texts are in the system code page.
    const int n = MultiByteToWideChar(CP_ACP, 0, textA_.c_str(), -1, nullptr, 0);
    textW_.assign(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, textA_.c_str(), -1, textW_.data(), n);
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->hinst = nullptr;
    info->lpszText = textW_.data();
  }
  return true;
}

LRESULT CRowTipList::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (tip_) {
    switch (msg) {
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONUP:
      case WM_MBUTTONDOWN:
      case WM_MBUTTONUP: {
        const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (msg == WM_MOUSEMOVE) TrackPointer(pt);
        MSG relay{m_hWnd, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
        relay.pt = pt;
        ClientToScreen(m_hWnd, &relay.pt);
        SendMessageA(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
        break;
      }
      // The rows move under the pointer or go: the next move finds the row.
      case WM_VSCROLL:
      case WM_HSCROLL:
      case WM_MOUSEWHEEL:
      case WM_SIZE:
      case LVM_DELETEALLITEMS:
      case LVM_DELETEITEM:
      case LVM_INSERTITEMA:
      case LVM_INSERTITEMW:
      case LVM_SORTITEMS:
      case LVM_SORTITEMSEX: SetToolRow(-1); break;
      case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        if (header && header->hwndFrom == tip_ && OnTipNotify(header)) return 0;
        break;
      }
      case WM_DESTROY: DestroyTip(); break;
      default: break;
    }
  }
  return CGfxListCtrl::WindowProc(msg, wp, lp);
}
