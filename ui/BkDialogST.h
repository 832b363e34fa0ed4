// CBkDialogST: a dialog that paints a bitmap as its background (tiled,
// centred, stretched or aligned to an edge), lets static texts show it
// through, and tells derived windows after every background repaint.
#pragma once

#include "framework/Dialog.h"
#include "framework/Handle.h"

class CBkDialogST : public CDialogBase {
 public:
  enum DrawMode : BYTE {
    BKDLGST_MODE_TILE = 0,
    BKDLGST_MODE_CENTER,
    BKDLGST_MODE_STRETCH,
    BKDLGST_MODE_TILETOP,
    BKDLGST_MODE_TILEBOTTOM,
    BKDLGST_MODE_TILELEFT,
    BKDLGST_MODE_TILERIGHT,
    BKDLGST_MODE_TOPLEFT,
    BKDLGST_MODE_TOPRIGHT,
    BKDLGST_MODE_TOPCENTER,
    BKDLGST_MODE_BOTTOMLEFT,
    BKDLGST_MODE_BOTTOMRIGHT,
    BKDLGST_MODE_BOTTOMCENTER,
  };
  static constexpr COLORREF kNoTransparentColour = 0xFFFFFFFF;

  explicit CBkDialogST(UINT templateId, HWND parent = nullptr);
  ~CBkDialogST() override;

  // Loads a bitmap resource of the program; 0 success, 1 size unreadable,
  // 3 window region could not be made.
  DWORD SetBackgroundBitmap(UINT bitmapId, COLORREF transparent = kNoTransparentColour);
  // Uses a bitmap handle; a shared bitmap stays the caller's.
  DWORD SetBackgroundBitmap(HBITMAP bitmap, COLORREF transparent, bool shared);
  void ReleaseBackground();

  void SetDrawMode(BYTE mode) { drawMode_ = mode; }
  BYTE GetDrawMode() const { return drawMode_; }
  // When on, dragging the client area moves the window like its caption.
  void SetDragWindow(DWORD on) { dragWindow_ = on; }
  HBITMAP Background() const { return bitmap_.Get(); }

  // Where the bitmap's copies go for a client area of W x H (positions of
  // their top-left corners; a stretched bitmap fills the whole area).
  struct Placement {
    int x, y, w, h;
  };
  static void ForEachPlacement(BYTE mode, int clientW, int clientH, int bmpW, int bmpH,
                               void (*emit)(void* ctx, const Placement& p), void* ctx);

 protected:
  // Called with the off-screen picture of every freshly painted background.
  virtual void AfterBackgroundPainted(HDC dc);
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  LRESULT OnEraseBackground(HDC dc);

  HBRUSH nullBrush_;
  // A shared bitmap is released, not deleted, when it goes.
  GdiObject<HBITMAP> bitmap_;
  bool shared_ = false;
  // The cut-out region while no window holds it; regionSet_ once one does.
  GdiObject<HRGN> region_;
  bool regionSet_ = false;
  int bmpWidth_ = 0;
  int bmpHeight_ = 0;
  BYTE drawMode_ = BKDLGST_MODE_TILE;
  DWORD dragWindow_ = 0;
};
