// The dialog with a bitmap background: where each draw mode puts the bitmap,
// what the painted background looks like, transparent static texts, the
// repaint after growth and the transparent-colour window region.
#include <gtest/gtest.h>

#include <vector>

#include "common/TestSupport.h"
#include "framework/Handle.h"
#include "resource.h"
#include "ui/BkDialogST.h"

namespace {

using Placements = std::vector<CBkDialogST::Placement>;

Placements PlacementsOf(BYTE mode, int W, int H, int w, int h) {
  Placements out;
  CBkDialogST::ForEachPlacement(
      mode, W, H, w, h, [](void* ctx, const CBkDialogST::Placement& p) { static_cast<Placements*>(ctx)->push_back(p); },
      &out);
  return out;
}

bool Has(const Placements& ps, int x, int y) {
  for (const auto& p : ps)
    if (p.x == x && p.y == y) return true;
  return false;
}

TEST(BkDialogPlacement, TileCoversTheAreaRowByRowWithCutEdges) {
  // 100 x 50 with a 30 x 20 bitmap: 4 columns (the last cut at 100) by 3
  // rows (the last cut at 50).
  Placements ps = PlacementsOf(CBkDialogST::BKDLGST_MODE_TILE, 100, 50, 30, 20);
  ASSERT_EQ(12u, ps.size());
  EXPECT_EQ(0, ps[0].x);
  EXPECT_EQ(0, ps[0].y);
  EXPECT_EQ(30, ps[1].x);  // along the row first
  EXPECT_EQ(0, ps[1].y);
  EXPECT_EQ(90, ps[3].x);
  EXPECT_EQ(20, ps[4].y);
  EXPECT_EQ(90, ps.back().x);
  EXPECT_EQ(40, ps.back().y);
  for (const auto& p : ps) {
    EXPECT_EQ(30, p.w);
    EXPECT_EQ(20, p.h);
  }
  // Exactly fitting: no extra column or row.
  EXPECT_EQ(6u, PlacementsOf(CBkDialogST::BKDLGST_MODE_TILE, 90, 40, 30, 20).size());
}

TEST(BkDialogPlacement, SinglePlacementsAndStretch) {
  struct Case {
    BYTE mode;
    int x, y;
  };
  // W 101, H 61, w 30, h 20: centre halves round down.
  const Case cases[] = {
      {CBkDialogST::BKDLGST_MODE_CENTER, 35, 20},       {CBkDialogST::BKDLGST_MODE_TOPLEFT, 0, 0},
      {CBkDialogST::BKDLGST_MODE_TOPRIGHT, 71, 0},      {CBkDialogST::BKDLGST_MODE_TOPCENTER, 35, 0},
      {CBkDialogST::BKDLGST_MODE_BOTTOMLEFT, 0, 41},    {CBkDialogST::BKDLGST_MODE_BOTTOMRIGHT, 71, 41},
      {CBkDialogST::BKDLGST_MODE_BOTTOMCENTER, 35, 41},
  };
  for (const Case& c : cases) {
    Placements ps = PlacementsOf(c.mode, 101, 61, 30, 20);
    ASSERT_EQ(1u, ps.size()) << int(c.mode);
    EXPECT_EQ(c.x, ps[0].x) << int(c.mode);
    EXPECT_EQ(c.y, ps[0].y) << int(c.mode);
    EXPECT_EQ(30, ps[0].w);
  }
  Placements st = PlacementsOf(CBkDialogST::BKDLGST_MODE_STRETCH, 101, 61, 30, 20);
  ASSERT_EQ(1u, st.size());
  EXPECT_EQ(0, st[0].x);
  EXPECT_EQ(101, st[0].w);
  EXPECT_EQ(61, st[0].h);
}

TEST(BkDialogPlacement, EdgeTiles) {
  Placements top = PlacementsOf(CBkDialogST::BKDLGST_MODE_TILETOP, 100, 61, 30, 20);
  ASSERT_EQ(4u, top.size());
  EXPECT_TRUE(Has(top, 0, 0) && Has(top, 90, 0));
  Placements bottom = PlacementsOf(CBkDialogST::BKDLGST_MODE_TILEBOTTOM, 100, 61, 30, 20);
  ASSERT_EQ(4u, bottom.size());
  EXPECT_TRUE(Has(bottom, 0, 41) && Has(bottom, 90, 41));
  Placements left = PlacementsOf(CBkDialogST::BKDLGST_MODE_TILELEFT, 100, 61, 30, 20);
  ASSERT_EQ(4u, left.size());
  EXPECT_TRUE(Has(left, 0, 0) && Has(left, 0, 60));
  Placements right = PlacementsOf(CBkDialogST::BKDLGST_MODE_TILERIGHT, 100, 61, 30, 20);
  ASSERT_EQ(4u, right.size());
  EXPECT_TRUE(Has(right, 70, 0) && Has(right, 70, 60));
  // A bitmap without size places nothing; an unknown mode neither.
  EXPECT_TRUE(PlacementsOf(CBkDialogST::BKDLGST_MODE_TILE, 100, 61, 0, 20).empty());
  EXPECT_TRUE(PlacementsOf(13, 100, 61, 30, 20).empty());
}

// A page on template 1210 inside a visible host, with a hook that records
// the background handed to derived windows.
class TestPage : public CBkDialogST {
 public:
  TestPage() : CBkDialogST(IDD_PAGE_OPTIONS) {}
  int painted = 0;
  COLORREF firstPixel = CLR_INVALID;

 protected:
  void AfterBackgroundPainted(HDC dc) override {
    ++painted;
    firstPixel = GetPixel(dc, 0, 0);
  }
};

// A 7 x 5 bitmap whose every pixel has its own colour RGB(x * 30, y * 40, 99).
HBITMAP MakePatternBitmap(HDC reference) {
  HBITMAP bmp = CreateCompatibleBitmap(reference, 7, 5);
  HDC dc = CreateCompatibleDC(reference);
  HGDIOBJ old = SelectObject(dc, bmp);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) SetPixel(dc, x, y, RGB(x * 30, y * 40, 99));
  SelectObject(dc, old);
  DeleteDC(dc);
  return bmp;
}

class BkDialogWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 700, 600, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(host);
    ASSERT_TRUE(page.Create(host));
    SetWindowPos(page.m_hWnd, nullptr, 0, 0, 123, 67, SWP_NOZORDER | SWP_SHOWWINDOW);
    HDC screen = GetDC(nullptr);
    pattern = MakePatternBitmap(screen);
    ReleaseDC(nullptr, screen);
  }
  void TearDown() override {
    page.ReleaseBackground();
    if (page.m_hWnd) DestroyWindow(page.m_hWnd);
    DestroyWindow(host);
    DeleteObject(pattern);
  }
  // Erases the page's background into a memory picture of its client size.
  void Erase(MemoryDC& mem) { page.Send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem.Get())); }

  HWND host = nullptr;
  TestPage page;
  HBITMAP pattern = nullptr;
};

TEST_F(BkDialogWindow, TiledBackgroundRepeatsTheBitmapOverTheWholeClientArea) {
  ASSERT_EQ(0u, page.SetBackgroundBitmap(pattern, CBkDialogST::kNoTransparentColour, true));
  RECT rc = page.ClientRect();
  ASSERT_EQ(123, rc.right);
  ASSERT_EQ(67, rc.bottom);
  HDC screen = GetDC(nullptr);
  MemoryDC mem(screen, rc.right, rc.bottom);
  ReleaseDC(nullptr, screen);
  Erase(mem);
  int wrong = 0;
  for (int y = 0; y < rc.bottom; ++y)
    for (int x = 0; x < rc.right; ++x)
      if (GetPixel(mem.Get(), x, y) != RGB((x % 7) * 30, (y % 5) * 40, 99)) ++wrong;
  EXPECT_EQ(0, wrong);
  EXPECT_EQ(1, page.painted);
  EXPECT_EQ(RGB(0, 0, 99), page.firstPixel);
}

TEST_F(BkDialogWindow, CentredAndBottomRightBitmapsLandWhereTheModeSays) {
  ASSERT_EQ(0u, page.SetBackgroundBitmap(pattern, CBkDialogST::kNoTransparentColour, true));
  HDC screen = GetDC(nullptr);
  MemoryDC mem(screen, 123, 67);
  ReleaseDC(nullptr, screen);

  page.SetDrawMode(CBkDialogST::BKDLGST_MODE_CENTER);
  Erase(mem);
  // (123 - 7) / 2 = 58, (67 - 5) / 2 = 31.
  EXPECT_EQ(RGB(0, 0, 99), GetPixel(mem.Get(), 58, 31));
  EXPECT_EQ(RGB(6 * 30, 4 * 40, 99), GetPixel(mem.Get(), 64, 35));
  EXPECT_NE(RGB(0, 0, 99), GetPixel(mem.Get(), 0, 0));

  page.SetDrawMode(CBkDialogST::BKDLGST_MODE_BOTTOMRIGHT);
  Erase(mem);
  EXPECT_EQ(RGB(0, 0, 99), GetPixel(mem.Get(), 116, 62));
  EXPECT_EQ(RGB(6 * 30, 4 * 40, 99), GetPixel(mem.Get(), 122, 66));

  page.SetDrawMode(CBkDialogST::BKDLGST_MODE_STRETCH);
  Erase(mem);
  EXPECT_EQ(RGB(0, 0, 99), GetPixel(mem.Get(), 0, 0));
  EXPECT_EQ(RGB(6 * 30, 4 * 40, 99), GetPixel(mem.Get(), 122, 66));
}

TEST_F(BkDialogWindow, WithoutBitmapThePlainDialogBackgroundIsPainted) {
  HDC screen = GetDC(nullptr);
  MemoryDC mem(screen, 123, 67);
  ReleaseDC(nullptr, screen);
  RECT all{0, 0, 123, 67};
  FillRect(mem.Get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  Erase(mem);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(mem.Get(), 60, 30));
  EXPECT_EQ(0, page.painted);
}

TEST_F(BkDialogWindow, StaticTextsAreTransparentEditsAreNot) {
  HWND label = page.Item(IDC_OPT_RUN_LABEL);
  HWND keywords = page.Item(IDC_OPT_KEYWORDS);
  ASSERT_TRUE(label && keywords);
  HDC dc = GetDC(label);
  // Without a bitmap the default handling stays.
  LRESULT plain = page.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
  EXPECT_NE(reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH)), plain);

  ASSERT_EQ(0u, page.SetBackgroundBitmap(IDB_BACKGROUND));
  SetBkMode(dc, OPAQUE);
  LRESULT brush = page.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
  EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH)), brush);
  EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
  ReleaseDC(label, dc);

  HDC edc = GetDC(keywords);
  LRESULT editBrush = page.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(edc), reinterpret_cast<LPARAM>(keywords));
  EXPECT_NE(reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH)), editBrush);
  ReleaseDC(keywords, edc);
}

TEST_F(BkDialogWindow, GrowingRepaintsTheWholeBackground) {
  ASSERT_EQ(0u, page.SetBackgroundBitmap(IDB_BACKGROUND));
  UpdateWindow(page.m_hWnd);
  RECT dirty{};
  ASSERT_FALSE(GetUpdateRect(page.m_hWnd, &dirty, FALSE));
  SetWindowPos(page.m_hWnd, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
  ASSERT_TRUE(GetUpdateRect(page.m_hWnd, &dirty, FALSE));
  EXPECT_EQ(0, dirty.left);
  EXPECT_EQ(0, dirty.top);
  EXPECT_EQ(300, dirty.right);
  EXPECT_EQ(200, dirty.bottom);
}

TEST_F(BkDialogWindow, BitmapResultsAndTransparentColourRegion) {
  EXPECT_EQ(1u, page.SetBackgroundBitmap(static_cast<HBITMAP>(nullptr), CBkDialogST::kNoTransparentColour, true));
  EXPECT_EQ(nullptr, page.Background());

  // Pixel (2, 1) of an 8 x 4 bitmap is the transparent colour.
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 8, 4);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all{0, 0, 8, 4};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetPixel(dc, 2, 1, RGB(255, 0, 255));
  SelectObject(dc, old);
  DeleteDC(dc);

  ASSERT_EQ(0u, page.SetBackgroundBitmap(bmp, RGB(255, 0, 255), false));
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(ERROR, GetWindowRgn(page.m_hWnd, rgn));
  EXPECT_TRUE(PtInRegion(rgn, 1, 1));
  EXPECT_FALSE(PtInRegion(rgn, 2, 1));
  EXPECT_TRUE(PtInRegion(rgn, 7, 3));
  EXPECT_FALSE(PtInRegion(rgn, 8, 3));
  DeleteObject(rgn);

  page.ReleaseBackground();  // deletes the bitmap: it was not shared
  EXPECT_EQ(nullptr, page.Background());
  EXPECT_EQ(0, GetObjectType(bmp));
}

}  // namespace
