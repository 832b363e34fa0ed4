#include "ui/BkDialogST.h"

#include <vector>

#include "framework/Handle.h"
#include "framework/Module.h"

CBkDialogST::CBkDialogST(UINT templateId, HWND parent)
    : CDialogBase(templateId, parent), nullBrush_(static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH))) {}

CBkDialogST::~CBkDialogST() { ReleaseBackground(); }

void CBkDialogST::ReleaseBackground() {
  if (shared_) bitmap_.Release();
  bitmap_.Reset();
  // A region handed to the window belongs to the system: it is freed when
  // the window gets another region or none, never here.
  if (regionSet_ && m_hWnd) SetWindowRgn(m_hWnd, nullptr, FALSE);
  regionSet_ = false;
  region_.Reset();
  bmpWidth_ = bmpHeight_ = 0;
}

DWORD CBkDialogST::SetBackgroundBitmap(UINT bitmapId, COLORREF transparent) {
  HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(AppInstance(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, 0));
  return SetBackgroundBitmap(bmp, transparent, false);
}

DWORD CBkDialogST::SetBackgroundBitmap(HBITMAP bitmap, COLORREF transparent, bool shared) {
  ReleaseBackground();
  shared_ = shared;
  bitmap_.Reset(bitmap);
  BITMAP info{};
  if (!bitmap_ || !GetObjectA(bitmap_.Get(), sizeof info, &info)) {
    ReleaseBackground();
    return 1;
  }
  bmpWidth_ = info.bmWidth;
  bmpHeight_ = info.bmHeight;

  if (transparent != kNoTransparentColour) {
    // Cut every pixel of the transparent colour out of the window.
    const int rowWidth = bmpWidth_ & ~3;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), rowWidth, -bmpHeight_, 1, 24, BI_RGB};
    const int stride = ((rowWidth * 3) + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * bmpHeight_);
    HDC screen = GetDC(nullptr);
    int got = GetDIBits(screen, bitmap_.Get(), 0, bmpHeight_, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    HRGN rgn = got ? CreateRectRgn(0, 0, bmpWidth_, bmpHeight_) : nullptr;
    if (!rgn) {
      ReleaseBackground();
      return 3;
    }
    for (int y = 0; y < bmpHeight_; ++y) {
      const BYTE* row = pixels.data() + static_cast<size_t>(y) * stride;
      for (int x = 0; x < rowWidth; ++x) {
        COLORREF c = RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
        if (c != transparent) continue;
        GdiObject<HRGN> dot(CreateRectRgn(x, y, x + 1, y + 1));
        CombineRgn(rgn, rgn, dot.Get(), RGN_DIFF);
      }
    }
    // Without a window yet the region stays this object's; once the window
    // has taken it, it is the system's.
    region_.Reset(rgn);
    if (m_hWnd && SetWindowRgn(m_hWnd, region_.Get(), FALSE)) {
      region_.Release();
      regionSet_ = true;
    }
  }
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
  return 0;
}

void CBkDialogST::ForEachPlacement(BYTE mode, int W, int H, int w, int h, void (*emit)(void*, const Placement&),
                                   void* ctx) {
  if (w <= 0 || h <= 0) return;
  auto at = [&](int x, int y) { emit(ctx, Placement{x, y, w, h}); };
  switch (mode) {
    case BKDLGST_MODE_TILE:
      for (int y = 0; y < H; y += h)
        for (int x = 0; x < W; x += w) at(x, y);
      break;
    case BKDLGST_MODE_CENTER: at((W - w) / 2, (H - h) / 2); break;
    case BKDLGST_MODE_STRETCH: emit(ctx, Placement{0, 0, W, H}); break;
    case BKDLGST_MODE_TILETOP:
      for (int x = 0; x < W; x += w) at(x, 0);
      break;
    case BKDLGST_MODE_TILEBOTTOM:
      for (int x = 0; x < W; x += w) at(x, H - h);
      break;
    case BKDLGST_MODE_TILELEFT:
      for (int y = 0; y < H; y += h) at(0, y);
      break;
    case BKDLGST_MODE_TILERIGHT:
      for (int y = 0; y < H; y += h) at(W - w, y);
      break;
    case BKDLGST_MODE_TOPLEFT: at(0, 0); break;
    case BKDLGST_MODE_TOPRIGHT: at(W - w, 0); break;
    case BKDLGST_MODE_TOPCENTER: at((W - w) / 2, 0); break;
    case BKDLGST_MODE_BOTTOMLEFT: at(0, H - h); break;
    case BKDLGST_MODE_BOTTOMRIGHT: at(W - w, H - h); break;
    case BKDLGST_MODE_BOTTOMCENTER: at((W - w) / 2, H - h); break;
    default: break;
  }
}

void CBkDialogST::AfterBackgroundPainted(HDC) {}

LRESULT CBkDialogST::OnEraseBackground(HDC dc) {
  LRESULT result = Default();
  if (!bitmap_) return result;
  RECT rc = ClientRect();
  const int W = rc.right, H = rc.bottom;
  MemoryDC off(dc, W, H);
  {
    GdiObject<HBRUSH> back(CreateSolidBrush(GetBkColor(dc)));
    FillRect(off.Get(), &rc, back.Get());
  }
  HDC src = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(src, bitmap_.Get());
  struct Ctx {
    HDC dst, src;
    int w, h;
  } ctx{off.Get(), src, bmpWidth_, bmpHeight_};
  SetStretchBltMode(off.Get(), COLORONCOLOR);
  ForEachPlacement(
      drawMode_, W, H, bmpWidth_, bmpHeight_,
      [](void* p, const Placement& pl) {
        auto* c = static_cast<Ctx*>(p);
        if (pl.w == c->w && pl.h == c->h)
          BitBlt(c->dst, pl.x, pl.y, pl.w, pl.h, c->src, 0, 0, SRCCOPY);
        else
          StretchBlt(c->dst, pl.x, pl.y, pl.w, pl.h, c->src, 0, 0, c->w, c->h, SRCCOPY);
      },
      &ctx);
  SelectObject(src, old);
  DeleteDC(src);
  BitBlt(dc, 0, 0, W, H, off.Get(), 0, 0, SRCCOPY);
  AfterBackgroundPainted(off.Get());
  return result;
}

LRESULT CBkDialogST::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: return OnEraseBackground(reinterpret_cast<HDC>(wp));
    case WM_CTLCOLORSTATIC: {
      LRESULT r = 0;
      if (ReflectToChild(msg, wp, lp, r)) return r;
      if (!bitmap_) return Default();
      // Read-only and disabled edit boxes send this message too; they keep
      // their own background so that their text stays readable.
      char cls[16] = {};
      GetClassNameA(reinterpret_cast<HWND>(lp), cls, sizeof cls);
      if (lstrcmpiA(cls, "Edit") == 0) return Default();
      Default();
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      return reinterpret_cast<LRESULT>(nullBrush_);
    }
    case WM_SIZE: {
      LRESULT r = Default();
      if (bitmap_) InvalidateRect(m_hWnd, nullptr, TRUE);
      return r;
    }
    case WM_LBUTTONDOWN:
      if (dragWindow_ == 1) PostMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, lp);
      return Default();
    default: return CDialogBase::WindowProc(msg, wp, lp);
  }
}
