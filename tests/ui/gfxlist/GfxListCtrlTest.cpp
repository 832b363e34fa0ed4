// The owner-drawn list: column layouts in the profile, row height, drawing
// into a memory bitmap, header sorting and the in-place editor.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "framework/Profile.h"
#include "ui/gfxlist/GfxListCtrl.h"

namespace {

constexpr int kListId = 1012;

// A top-level window that reflects its children's notifications (CWindow)
// and records the owner queries that reach it as messages.
class Host : public CWindow {
 public:
  Host() {
    Attach(CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 400, nullptr, nullptr, nullptr, nullptr));
  }
  ~Host() override {
    HWND h = m_hWnd;
    Detach();
    DestroyWindow(h);
  }
  std::vector<GfxListQuery> queries;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_GFX_OWNERQUERY) {
      auto* q = reinterpret_cast<GfxListQuery*>(lp);
      queries.push_back(*q);
      if (q->kind == GFXQ_CHOICES) q->choices = {"Yes", "No"};
      return 1;
    }
    return CWindow::WindowProc(msg, wp, lp);
  }
};

void DeleteLayout(const std::string& name) {
  RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(profile::kRoot) + "\\" + CGfxColumnManager::SectionFor(name)).c_str());
}

class GfxListTest : public testing::Test {
 protected:
  void SetUp() override {
    RECT rc{0, 0, 600, 360};
    ASSERT_TRUE(list.Create(host.m_hWnd, rc, kListId));
    list.SetOwnerCallback([this](HWND parent, GfxListQuery* q) -> LRESULT {
      EXPECT_EQ(parent, host.m_hWnd);
      queries.push_back(*q);
      return answer ? answer(*q) : 0;
    });
  }
  // Four columns: a text column, a number column, a dotted-number column,
  // and a drop-down kind column; shown in definition order.
  void DefineFour() {
    list.CreateColumnManager();
    list.DefineColumn(0, "Name", "", LVCFMT_LEFT, 200, GFXCOL_SORTABLE);
    list.DefineColumn(1, "Size", "", LVCFMT_RIGHT, 80, GFXCOL_SORTABLE | GFXCOL_SORTNUMBER);
    list.DefineColumn(2, "Version", "", LVCFMT_LEFT, 90, GFXCOL_SORTABLE | GFXCOL_SORTDOTTEDNUMBER);
    list.DefineColumn(3, "Run", "", LVCFMT_CENTER, 64, GFXCOL_EDITDROPLIST | GFXCOL_IMAGECELL | GFXCOL_SORTABLE);
    const int order[] = {0, 1, 2, 3};
    list.SetDefaultOrder(4, order);
  }
  const GfxListQuery* Last(int kind) const {
    for (auto it = queries.rbegin(); it != queries.rend(); ++it)
      if (it->kind == kind) return &*it;
    return nullptr;
  }
  int CountKind(int kind) const {
    int n = 0;
    for (const auto& q : queries) n += q.kind == kind;
    return n;
  }
  std::vector<std::string> HeaderTexts() {
    std::vector<std::string> texts;
    HWND header = ListView_GetHeader(list.m_hWnd);
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
      char buf[64] = {};
      HDITEMA item{};
      item.mask = HDI_TEXT;
      item.pszText = buf;
      item.cchTextMax = sizeof buf;
      Header_GetItem(header, i, &item);
      texts.push_back(buf);
    }
    return texts;
  }

  Host host;
  CGfxListCtrl list;
  std::vector<GfxListQuery> queries;
  std::function<LRESULT(GfxListQuery&)> answer;
};

// --- column layouts ------------------------------------------------------------

TEST_F(GfxListTest, ApplyShowsTheOrderedDefinedColumns) {
  DefineFour();
  const int order[] = {2, 0, 9, 3};  // 9 is not defined
  list.SetDefaultOrder(4, order);
  list.ApplyColumns();
  EXPECT_EQ(HeaderTexts(), (std::vector<std::string>{"Version", "Name", "Run"}));
  EXPECT_EQ(list.ListColumnOf(2), 0);
  EXPECT_EQ(list.ListColumnOf(1), -1);
  EXPECT_EQ(ListView_GetColumnWidth(list.m_hWnd, 1), 200);
  EXPECT_TRUE(list.ColumnHasFlag(3, GFXCOL_EDITDROPLIST));
  EXPECT_FALSE(list.ColumnHasFlag(0, GFXCOL_EDITDROPLIST));

  // Applying again replaces the columns and keeps the rows' cells by column.
  int row = list.InsertRow(0, "x", 77);
  list.SetCellText(row, 0, "alpha");
  list.SetCellText(row, 3, "1");
  const int again[] = {3, 0, 1};
  list.SetDefaultOrder(3, again);
  list.ApplyColumns();
  EXPECT_EQ(HeaderTexts(), (std::vector<std::string>{"Run", "Name", "Size"}));
  EXPECT_EQ(list.CellText(0, 0), "alpha");
  EXPECT_EQ(list.CellText(0, 3), "1");
  EXPECT_EQ(list.RowData(0), 77);
  list.SetDefaultOrder(0, again);
  EXPECT_TRUE(list.ColumnManager()->Order().empty());
}

TEST_F(GfxListTest, HeaderImageOnlyWhenTheColumnAsksForIt) {
  list.CreateColumnManager();
  list.DefineColumn(0, "Plain", "", LVCFMT_LEFT, 80, 0, 2);
  list.DefineColumn(1, "Pictured", "", LVCFMT_LEFT, 80, GFXCOL_HEADERIMAGE, 2);
  const int order[] = {0, 1};
  list.SetDefaultOrder(2, order);
  list.ApplyColumns();
  HWND header = ListView_GetHeader(list.m_hWnd);
  HDITEMA item{};
  item.mask = HDI_FORMAT | HDI_IMAGE;
  ASSERT_TRUE(Header_GetItem(header, 0, &item));
  EXPECT_FALSE(item.fmt & HDF_IMAGE);
  item = HDITEMA{};
  item.mask = HDI_FORMAT | HDI_IMAGE;
  ASSERT_TRUE(Header_GetItem(header, 1, &item));
  EXPECT_TRUE(item.fmt & HDF_IMAGE);
  EXPECT_EQ(item.iImage, 2);
}

TEST_F(GfxListTest, StoredLayoutSkipsUnknownColumnsAndKeepsUnstoredValues) {
  const std::string name = "GfxTestStored";
  DeleteLayout(name);
  const std::string section = CGfxColumnManager::SectionFor(name);
  EXPECT_EQ(section, "GfxLists\\GfxTestStored");
  profile::WriteInt(section, "NumDef", 4);
  profile::WriteInt(section, "DefColId 0", 3);
  profile::WriteInt(section, "DefColId 1", 17);  // not defined: skipped
  profile::WriteInt(section, "DefColId 2", -1);  // below 0: skipped
  profile::WriteInt(section, "DefColId 3", 0);
  profile::WriteInt(section, "DefNum", 2);
  profile::WriteInt(section, "ColDef_id_0", 25);  // unknown identifier: ignored
  profile::WriteInt(section, "ColDef_width_0", 5);
  profile::WriteString(section, "ColDef_text_0", "Ghost");
  profile::WriteInt(section, "ColDef_id_1", 3);
  profile::WriteInt(section, "ColDef_width_1", 111);
  profile::WriteString(section, "ColDef_text_1", "Execute");
  // No align, image or flags stored for column 3: they stay as defined.

  DefineFour();
  ASSERT_TRUE(list.LoadColumns(name));
  list.ApplyColumns();
  EXPECT_EQ(HeaderTexts(), (std::vector<std::string>{"Execute", "Name"}));
  EXPECT_EQ(ListView_GetColumnWidth(list.m_hWnd, 0), 111);
  const GfxColumnDef* run = list.ColumnManager()->Find(3);
  EXPECT_EQ(run->format, LVCFMT_CENTER);
  EXPECT_EQ(run->flags, GFXCOL_EDITDROPLIST | GFXCOL_IMAGECELL | GFXCOL_SORTABLE);
  EXPECT_EQ(list.ColumnManager()->Definitions().size(), 4u);
  for (const auto& d : list.ColumnManager()->Definitions()) EXPECT_NE(d.text, "Ghost");
  DeleteLayout(name);

  // Nothing stored: nothing changes.
  EXPECT_FALSE(list.LoadColumns(name));
  EXPECT_EQ(list.ColumnManager()->Order(), (std::vector<int>{3, 0}));
}

TEST_F(GfxListTest, SavedWidthsAndOrderComeBack) {
  const std::string name = "GfxTestRoundTrip";
  DeleteLayout(name);
  DefineFour();
  list.ApplyColumns();
  ListView_SetColumnWidth(list.m_hWnd, 0, 150);
  ListView_SetColumnWidth(list.m_hWnd, 3, 40);
  int moved[] = {3, 0, 2, 1};  // list columns: Run, Name, Version, Size
  ASSERT_TRUE(ListView_SetColumnOrderArray(list.m_hWnd, 4, moved));
  list.ReadBackColumns();
  EXPECT_EQ(list.ColumnManager()->Order(), (std::vector<int>{3, 0, 2, 1}));
  ASSERT_TRUE(list.SaveColumns(name));

  const std::string section = CGfxColumnManager::SectionFor(name);
  EXPECT_EQ(profile::GetInt(section, "NumDef", -1), 4);
  EXPECT_EQ(profile::GetInt(section, "DefNum", -1), 4);
  EXPECT_EQ(profile::GetInt(section, "DefColId 0", -1), 3);
  EXPECT_EQ(profile::GetInt(section, "ColDef_id_2", -1), 2);
  EXPECT_EQ(profile::GetInt(section, "ColDef_align_1", -1), LVCFMT_RIGHT);
  EXPECT_EQ(profile::GetInt(section, "ColDef_image_0", 0), -1);
  EXPECT_EQ(profile::GetInt(section, "ColDef_dwdata_1", 0), static_cast<int>(GFXCOL_SORTABLE | GFXCOL_SORTNUMBER));
  EXPECT_EQ(profile::GetString(section, "ColDef_text_2", ""), "Version");

  CGfxListCtrl second;
  RECT rc{0, 0, 600, 300};
  ASSERT_TRUE(second.Create(host.m_hWnd, rc, kListId + 1));
  second.CreateColumnManager();
  second.DefineColumn(0, "Name", "", LVCFMT_LEFT, 200, 0);
  second.DefineColumn(1, "Size", "", LVCFMT_RIGHT, 80, 0);
  second.DefineColumn(2, "Version", "", LVCFMT_LEFT, 90, 0);
  second.DefineColumn(3, "Run", "", LVCFMT_CENTER, 64, 0);
  const int order[] = {0, 1, 2, 3};
  second.SetDefaultOrder(4, order);
  ASSERT_TRUE(second.LoadColumns(name));
  second.ApplyColumns();
  EXPECT_EQ(second.ListColumnOf(3), 0);
  EXPECT_EQ(second.ListColumnOf(1), 3);
  EXPECT_EQ(ListView_GetColumnWidth(second.m_hWnd, second.ListColumnOf(0)), 150);
  EXPECT_EQ(ListView_GetColumnWidth(second.m_hWnd, second.ListColumnOf(3)), 40);
  EXPECT_EQ(ListView_GetColumnWidth(second.m_hWnd, second.ListColumnOf(2)), 90);
  // The stored flags came with the layout.
  EXPECT_TRUE(second.ColumnHasFlag(1, GFXCOL_SORTNUMBER));
  DeleteLayout(name);
}

TEST_F(GfxListTest, DefinitionsBeyondTheShownColumnsAreRestoredToo) {
  const std::string name = "GfxTestHidden";
  DeleteLayout(name);
  DefineFour();
  const int two[] = {0, 1};
  list.SetDefaultOrder(2, two);
  list.ColumnManager()->Find(3)->width = 33;
  ASSERT_TRUE(list.SaveColumns(name));

  CGfxColumnManager other;
  other.DefineColumn(0, "Name", "", 0, 10, 0);
  other.DefineColumn(1, "Size", "", 0, 10, 0);
  other.DefineColumn(2, "Version", "", 0, 10, 0);
  other.DefineColumn(3, "Run", "", 0, 10, 0);
  ASSERT_TRUE(other.LoadColumns(name));
  EXPECT_EQ(other.Order(), (std::vector<int>{0, 1}));
  EXPECT_EQ(other.Find(3)->width, 33);
  DeleteLayout(name);
}

// --- keys ---------------------------------------------------------------------

TEST(GfxListKeys, NumbersAndImageIndexes) {
  EXPECT_EQ(CGfxListCtrl::NumberKey("42", false), 42);
  EXPECT_EQ(CGfxListCtrl::NumberKey("  -17kB", false), -17);
  EXPECT_EQ(CGfxListCtrl::NumberKey("abc", false), 0);
  EXPECT_EQ(CGfxListCtrl::NumberKey("", false), 0);
  EXPECT_EQ(CGfxListCtrl::NumberKey("1.234.567", false), 1);
  EXPECT_EQ(CGfxListCtrl::NumberKey("1.234.567", true), 1234567);
  EXPECT_EQ(CGfxListCtrl::NumberKey("99999999999", false), INT_MAX);
  EXPECT_EQ(CGfxListCtrl::NumberKey("-99999999999", false), INT_MIN);
  // At most 255 characters are kept after removing the dots.
  std::string longText = "1" + std::string(300, '0');
  EXPECT_EQ(CGfxListCtrl::NumberKey(longText, true), INT_MAX);
  std::string dotted = std::string(252, ' ') + "12.345";
  EXPECT_EQ(CGfxListCtrl::NumberKey(dotted, true), 123);

  EXPECT_EQ(CGfxListCtrl::ImageIndexOf("5"), 5);
  EXPECT_EQ(CGfxListCtrl::ImageIndexOf("Denied"), 0);
  EXPECT_EQ(CGfxListCtrl::ImageIndexOf(""), 0);
  EXPECT_EQ(CGfxListCtrl::ImageIndexOf("3x"), 3);
}

// --- row height -----------------------------------------------------------------

TEST_F(GfxListTest, RowHeightTakesEffectAfterCreation) {
  DefineFour();
  list.ApplyColumns();
  list.InsertRow(0, "a", 0);
  list.InsertRow(1, "b", 0);
  auto rowHeight = [&] {
    RECT r{};
    ListView_GetItemRect(list.m_hWnd, 0, &r, LVIR_BOUNDS);
    return r.bottom - r.top;
  };
  list.SetRowHeight(17);
  EXPECT_EQ(rowHeight(), 17);
  list.SetRowHeight(30);
  EXPECT_EQ(rowHeight(), 30);
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24, 0, 4);
  list.SetImageList(images);
  EXPECT_EQ(rowHeight(), 30);
  list.SetImageList(nullptr);
  ImageList_Destroy(images);
}

// --- drawing ----------------------------------------------------------------------

// Draws one row into a 32-bit bitmap through the reflected WM_DRAWITEM.
class RowPicture {
 public:
  RowPicture(CGfxListCtrl& list, HWND host, int row) {
    RECT r{};
    ListView_GetItemRect(list.m_hWnd, row, &r, LVIR_BOUNDS);
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width_;
    bi.bmiHeader.biHeight = -height_;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_LISTVIEW;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID(list.m_hWnd));
    dis.itemID = static_cast<UINT>(row);
    // As the list view fills it: the row's own data.
    dis.itemData = static_cast<ULONG_PTR>(list.RowData(row));
    dis.itemAction = ODA_DRAWENTIRE;
    dis.hwndItem = list.m_hWnd;
    dis.hDC = dc_;
    dis.rcItem = RECT{0, 0, width_, height_};
    SendMessageA(host, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    GdiFlush();
  }
  ~RowPicture() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  COLORREF At(int x, int y) const {
    DWORD p = bits_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int Count(int left, int right, COLORREF colour) const {
    int n = 0;
    for (int y = 0; y < height_; ++y)
      for (int x = left; x < right && x < width_; ++x) n += At(x, y) == colour;
    return n;
  }
  int Height() const { return height_; }

 private:
  int width_ = 0, height_ = 0;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  DWORD* bits_ = nullptr;
};

HIMAGELIST SolidImages(const std::vector<COLORREF>& colours) {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24, 0, 4);
  HDC screen = GetDC(nullptr);
  for (COLORREF c : colours) {
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ old = SelectObject(dc, bmp);
    HBRUSH brush = CreateSolidBrush(c);
    RECT r{0, 0, 16, 16};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    ImageList_Add(images, bmp, nullptr);
    DeleteObject(bmp);
  }
  ReleaseDC(nullptr, screen);
  return images;
}

TEST_F(GfxListTest, ImageCellsDrawTheNumberedImageAndImageZeroForOtherText) {
  DefineFour();
  list.ApplyColumns();
  list.SetRowHeight(20);
  const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
  HIMAGELIST images = SolidImages({red, green, blue});
  list.SetImageList(images);
  for (const char* text : {"2", "Denied", "1"}) {
    int row = list.InsertRow(list.RowCount(), "n", 0);
    list.SetCellText(row, 3, text);
  }
  RECT cell{};
  Header_GetItemRect(ListView_GetHeader(list.m_hWnd), list.ListColumnOf(3), &cell);
  const int centre = (cell.left + cell.right) / 2;
  {
    RowPicture pic(list, host.m_hWnd, 0);
    EXPECT_EQ(pic.At(centre, pic.Height() / 2), blue);
    EXPECT_EQ(pic.Count(cell.left, cell.right, blue), 256);  // the whole image, inside the cell
  }
  {
    RowPicture pic(list, host.m_hWnd, 1);
    EXPECT_EQ(pic.At(centre, pic.Height() / 2), red);
  }
  {
    RowPicture pic(list, host.m_hWnd, 2);
    EXPECT_EQ(pic.At(centre, pic.Height() / 2), green);
  }
  // With image cells off the column shows its text instead.
  list.ModifyListStyle(GFXS_IMAGECELLS, 0);
  {
    RowPicture pic(list, host.m_hWnd, 1);
    EXPECT_EQ(pic.Count(cell.left, cell.right, red), 0);
  }
  list.SetImageList(nullptr);
  ImageList_Destroy(images);
}

// The whole client area as the list paints it, through WM_PRINTCLIENT.
std::vector<DWORD> PaintClient(HWND list, int& width, int& height) {
  RECT rc{};
  GetClientRect(list, &rc);
  width = rc.right;
  height = rc.bottom;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HDC dc = CreateCompatibleDC(nullptr);
  DWORD* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  GdiFlush();
  std::vector<DWORD> pixels(bits, bits + width * height);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return pixels;
}

TEST_F(GfxListTest, CellsFollowTheHeaderWhenScrolledSideways) {
  DefineFour();
  list.ColumnManager()->Find(0)->width = 700;  // wider than the list
  list.ApplyColumns();
  list.SetRowHeight(20);
  HIMAGELIST images = SolidImages({RGB(0, 0, 255)});
  list.SetImageList(images);
  int row = list.InsertRow(0, "", 0);
  list.SetCellText(row, 3, "0");
  auto blueColumns = [&] {
    int w = 0, h = 0;
    std::vector<DWORD> px = PaintClient(list.m_hWnd, w, h);
    RECT r{};
    ListView_GetItemRect(list.m_hWnd, 0, &r, LVIR_BOUNDS);
    int y = (r.top + r.bottom) / 2, first = -1;
    for (int x = 0; x < w; ++x)
      if ((px[y * w + x] & 0xFFFFFF) == 0x0000FF) return first = x;
    return first;
  };
  // The image stays centred under its header item, wherever that is.
  auto expectedLeft = [&] {
    HWND header = ListView_GetHeader(list.m_hWnd);
    RECT cell{};
    Header_GetItemRect(header, list.ListColumnOf(3), &cell);
    MapWindowPoints(header, list.m_hWnd, reinterpret_cast<POINT*>(&cell), 2);
    return cell.left + (cell.right - cell.left - 16) / 2;
  };
  // Before scrolling the image column lies beyond the visible area.
  EXPECT_GT(expectedLeft(), 600);
  EXPECT_EQ(blueColumns(), -1);
  ListView_Scroll(list.m_hWnd, 400, 0);
  ASSERT_LT(expectedLeft(), 580);
  EXPECT_EQ(blueColumns(), expectedLeft());
  list.SetImageList(nullptr);
  ImageList_Destroy(images);
}

TEST_F(GfxListTest, HorizontalArrowMovesByCharactersNotPixels) {
  DefineFour();
  list.ColumnManager()->Find(0)->width = 900;  // wider than the list
  list.ApplyColumns();
  list.InsertRow(0, "row", 0);
  TEXTMETRICA tm{};
  HDC dc = GetDC(list.m_hWnd);
  HGDIOBJ old = SelectObject(dc, list.NormalFont());
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(list.m_hWnd, dc);
  const int step = list.HorizontalLineStep();
  EXPECT_GE(step, tm.tmAveCharWidth);
  EXPECT_GE(step, 8);
  ASSERT_EQ(0, GetScrollPos(list.m_hWnd, SB_HORZ));
  SendMessageA(list.m_hWnd, WM_HSCROLL, SB_LINERIGHT, 0);
  SendMessageA(list.m_hWnd, WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(2 * step, GetScrollPos(list.m_hWnd, SB_HORZ));
  SendMessageA(list.m_hWnd, WM_HSCROLL, SB_LINELEFT, 0);
  EXPECT_EQ(step, GetScrollPos(list.m_hWnd, SB_HORZ));
  // The rows moved by the same amount.
  RECT row{};
  ListView_GetItemRect(list.m_hWnd, 0, &row, LVIR_BOUNDS);
  EXPECT_EQ(-step, row.left);
}

TEST_F(GfxListTest, OwnerFormatGivesColourAndFontAndGridLinesFollowTheOwner) {
  DefineFour();
  list.ApplyColumns();
  list.SetRowHeight(18);
  HIMAGELIST images = SolidImages({RGB(0, 0, 255)});
  list.SetImageList(images);
  int row = list.InsertRow(0, "WWWWWWWW", 0x1234);
  list.SetCellText(row, 0, "WWWWWWWW");
  const COLORREF pink = 0x008000FF;
  bool handleGrid = false;
  answer = [&](GfxListQuery& q) -> LRESULT {
    if (q.kind == GFXQ_FORMAT) {
      q.format = 0x15;  // bold, underline, colour: bold wins
      q.textColour = pink;
      return 1;
    }
    if (q.kind == GFXQ_GRIDLINES) return handleGrid ? 1 : 0;
    return 0;
  };
  RECT name{};
  Header_GetItemRect(ListView_GetHeader(list.m_hWnd), 0, &name);
  {
    RowPicture pic(list, host.m_hWnd, row);
    EXPECT_GT(pic.Count(name.left, name.right, pink), 20);
    // Grid line along the bottom of the row.
    EXPECT_EQ(pic.At(name.left + 2, pic.Height() - 1), RGB(226, 226, 226));
  }
  ASSERT_GE(CountKind(GFXQ_FORMAT), 1);
  const GfxListQuery* format = nullptr;
  for (const auto& q : queries) {
    if (q.kind == GFXQ_FORMAT && q.column == 0) format = &q;
  }
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->item, row);
  EXPECT_EQ(format->itemData, 0x1234);
  EXPECT_EQ(format->controlId, static_cast<UINT>(kListId));
  EXPECT_EQ(format->text, "WWWWWWWW");
  // Image cells ask for no format.
  for (const auto& q : queries) {
    if (q.kind == GFXQ_FORMAT) {
      EXPECT_NE(q.column, 3);
    }
  }
  EXPECT_EQ(CountKind(GFXQ_GRIDLINES), 1);
  EXPECT_EQ(CountKind(GFXQ_ROWDRAWN), 1);

  // An owner that draws the grid itself gets no grid line from the list.
  handleGrid = true;
  {
    RowPicture pic(list, host.m_hWnd, row);
    EXPECT_NE(pic.At(name.left + 2, pic.Height() - 1), RGB(226, 226, 226));
  }

  LOGFONTA lf{};
  GetObjectA(list.StyledFont(0x15), sizeof lf, &lf);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_FALSE(lf.lfUnderline);
  GetObjectA(list.StyledFont(0x06), sizeof lf, &lf);
  EXPECT_TRUE(lf.lfItalic);
  GetObjectA(list.StyledFont(0x04), sizeof lf, &lf);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_NE(lf.lfWeight, 700);
  list.SetImageList(nullptr);
  ImageList_Destroy(images);
}

// --- sorting -----------------------------------------------------------------------

class GfxListSortTest : public GfxListTest {
 protected:
  void SetUp() override {
    GfxListTest::SetUp();
    DefineFour();
    list.ApplyColumns();
    struct Row {
      const char* name;
      const char* size;
      const char* version;
    };
    const Row rows[] = {
        {"delta", "100", "1.10.0"}, {"Alpha", "-5", "2.0.1"}, {"charlie", "20", "1.9.9"}, {"bravo", "3000", "10.0.0"}};
    for (int i = 0; i < 4; ++i) {
      int r = list.InsertRow(i, rows[i].name, 1000 + i);
      list.SetCellText(r, 0, rows[i].name);
      list.SetCellText(r, 1, rows[i].size);
      list.SetCellText(r, 2, rows[i].version);
    }
  }
  std::vector<std::string> Column(int id) {
    std::vector<std::string> v;
    for (int i = 0; i < list.RowCount(); ++i) v.push_back(list.CellText(i, id));
    return v;
  }
  // The data must still belong to its row: row i of the setup had data 1000+i.
  void ExpectDataFollowsRows() {
    const char* names[] = {"delta", "Alpha", "charlie", "bravo"};
    for (int i = 0; i < list.RowCount(); ++i) {
      LPARAM data = list.RowData(i);
      ASSERT_GE(data, 1000);
      ASSERT_LT(data, 1004);
      EXPECT_EQ(list.CellText(i, 0), names[data - 1000]);
    }
  }
  void ClickHeader(int listColumn) {
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = list.m_hWnd;
    nm.hdr.idFrom = kListId;
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iItem = -1;
    nm.iSubItem = listColumn;
    SendMessageA(host.m_hWnd, WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&nm));
  }
  int HeaderSortFormat(int listColumn) {
    HDITEMA item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(ListView_GetHeader(list.m_hWnd), listColumn, &item);
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  }
};

TEST_F(GfxListSortTest, TextSortIgnoresCaseAndFlipsOnEveryClick) {
  ClickHeader(0);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"Alpha", "bravo", "charlie", "delta"}));
  ExpectDataFollowsRows();
  EXPECT_EQ(HeaderSortFormat(0), HDF_SORTUP);
  ClickHeader(0);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"delta", "charlie", "bravo", "Alpha"}));
  EXPECT_EQ(HeaderSortFormat(0), HDF_SORTDOWN);
  ExpectDataFollowsRows();
  // Another column takes the arrow over.
  ClickHeader(1);
  EXPECT_EQ(HeaderSortFormat(0), 0);
  EXPECT_EQ(HeaderSortFormat(1), HDF_SORTUP);
}

TEST_F(GfxListSortTest, NumberColumnsSortAsSignedNumbers) {
  ClickHeader(1);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"-5", "20", "100", "3000"}));
  ExpectDataFollowsRows();
  ClickHeader(2);  // dots removed: 1100, 201, 199, 1000
  EXPECT_EQ(Column(2), (std::vector<std::string>{"1.9.9", "2.0.1", "10.0.0", "1.10.0"}));
  ExpectDataFollowsRows();
}

TEST_F(GfxListSortTest, ClicksSortOnlySortableColumnsWhileSortingIsOn) {
  list.ColumnManager()->Find(1)->flags &= ~GFXCOL_SORTABLE;
  list.ApplyColumns();
  const auto before = Column(0);
  ClickHeader(1);
  EXPECT_EQ(Column(0), before);
  list.ModifyListStyle(GFXS_SORTONCLICK, 0);
  ClickHeader(0);
  EXPECT_EQ(Column(0), before);
  EXPECT_EQ(HeaderSortFormat(0), 0);
}

// --- editing --------------------------------------------------------------------------

class GfxListEditTest : public GfxListTest {
 protected:
  void SetUp() override {
    GfxListTest::SetUp();
    DefineFour();
    list.DefineColumn(4, "Note", "", LVCFMT_LEFT, 100, GFXCOL_EDITBOX);
    const int order[] = {0, 1, 2, 3, 4};
    list.SetDefaultOrder(5, order);
    list.ApplyColumns();
    list.SetRowHeight(18);
    for (int i = 0; i < 3; ++i) {
      int r = list.InsertRow(i, "row", 500 + i);
      list.SetCellText(r, 3, "1");
      list.SetCellText(r, 4, "note");
    }
    answer = [this](GfxListQuery& q) -> LRESULT {
      if (q.kind == GFXQ_CHOICES) {
        q.choices = choices;
        return 1;
      }
      if (q.kind == GFXQ_VALUE) {
        if (!accept) return 0;
        q.text = q.text == "Approved" ? "1" : (q.text == "Denied" ? "0" : q.text);
        return 1;
      }
      return 0;
    };
  }
  POINT CellCentre(int row, int columnId) {
    RECT r{}, h{};
    ListView_GetItemRect(list.m_hWnd, row, &r, LVIR_BOUNDS);
    Header_GetItemRect(ListView_GetHeader(list.m_hWnd), list.ListColumnOf(columnId), &h);
    return POINT{r.left + (h.left + h.right) / 2, (r.top + r.bottom) / 2};
  }
  void Click(int row, int columnId) {
    POINT p = CellCentre(row, columnId);
    list.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    list.Send(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  }
  std::vector<std::string> choices{"Approved", "Denied"};
  bool accept = true;
};

TEST_F(GfxListEditTest, ClickOnAnUnselectedRowOnlySelectsIt) {
  Click(1, 3);
  EXPECT_EQ(list.SelectedRows(), std::vector<int>{1});
  EXPECT_FALSE(list.IsEditing());
  EXPECT_EQ(CountKind(GFXQ_CHOICES), 0);
  EXPECT_EQ(GetDlgItem(list.m_hWnd, GFX_EDITOR_ID), nullptr);
}

TEST_F(GfxListEditTest, DropDownChoiceOnASelectedRowUpdatesTheCell) {
  Click(1, 3);
  Click(1, 3);
  ASSERT_TRUE(list.IsEditing());
  ASSERT_EQ(CountKind(GFXQ_CHOICES), 1);
  EXPECT_EQ(Last(GFXQ_CHOICES)->item, 1);
  EXPECT_EQ(Last(GFXQ_CHOICES)->column, 3);
  EXPECT_EQ(Last(GFXQ_CHOICES)->itemData, 501);
  EXPECT_EQ(Last(GFXQ_CHOICES)->text, "1");
  HWND editor = GetDlgItem(list.m_hWnd, GFX_EDITOR_ID);
  ASSERT_EQ(editor, list.EditorWindow());
  EXPECT_EQ(SendMessageA(editor, CB_GETCOUNT, 0, 0), 2);
  // The click is over (its button is up), so the list is open already.
  EXPECT_EQ(SendMessageA(editor, CB_GETDROPPEDSTATE, 0, 0), 1);
  EXPECT_EQ(GetFocus(), editor);
  // The editor lies over the cell.
  RECT er{};
  GetWindowRect(editor, &er);
  MapWindowPoints(nullptr, list.m_hWnd, reinterpret_cast<POINT*>(&er), 2);
  POINT centre = CellCentre(1, 3);
  EXPECT_TRUE(PtInRect(&er, centre));

  ASSERT_TRUE(list.PickEditorChoice(1));
  EXPECT_FALSE(list.IsEditing());
  EXPECT_FALSE(IsWindow(editor));
  ASSERT_EQ(CountKind(GFXQ_VALUE), 1);
  EXPECT_EQ(Last(GFXQ_VALUE)->text, "Denied");
  EXPECT_EQ(Last(GFXQ_VALUE)->item, 1);
  EXPECT_EQ(Last(GFXQ_VALUE)->column, 3);
  EXPECT_EQ(list.CellText(1, 3), "0");
  EXPECT_EQ(list.CellText(0, 3), "1");
}

TEST_F(GfxListEditTest, DropDownWaitsForTheReleaseOfTheOpeningClick) {
  list.SelectRow(0);
  // The button of the click is still held while the list handles it.
  BYTE keys[256];
  GetKeyboardState(keys);
  const BYTE saved = keys[VK_LBUTTON];
  keys[VK_LBUTTON] = 0x80;
  SetKeyboardState(keys);
  POINT p = CellCentre(0, 3);
  list.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  keys[VK_LBUTTON] = saved;
  SetKeyboardState(keys);
  ASSERT_TRUE(list.IsEditing());
  HWND editor = list.EditorWindow();
  EXPECT_EQ(SendMessageA(editor, CB_GETDROPPEDSTATE, 0, 0), 0);
  // The release lands on the editor, which now covers the cell.
  SendMessageA(editor, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  EXPECT_EQ(SendMessageA(editor, CB_GETDROPPEDSTATE, 0, 0), 1);
  list.EndEdit(false);
  EXPECT_FALSE(IsWindow(editor));
}

TEST_F(GfxListEditTest, ClickingElsewhereEndsTheEditWithItsValue) {
  list.SelectRow(2);
  ASSERT_TRUE(list.BeginEdit(2, 4));
  SetWindowTextA(list.EditorWindow(), "typed");
  Click(0, 1);  // another row: the edit ends, that row is only selected
  EXPECT_FALSE(list.IsEditing());
  EXPECT_EQ(list.CellText(2, 4), "typed");
  EXPECT_EQ(list.SelectedRows(), std::vector<int>{0});
  testsupport::PumpUntil([] { return false; }, 50);  // late focus notices change nothing
  EXPECT_FALSE(list.IsEditing());
  EXPECT_EQ(CountKind(GFXQ_VALUE), 1);
}

TEST_F(GfxListEditTest, RefusedOrCancelledEditsKeepTheCell) {
  list.SelectRow(0);
  accept = false;
  ASSERT_TRUE(list.BeginEdit(0, 3));
  ASSERT_TRUE(list.PickEditorChoice(1));
  EXPECT_EQ(CountKind(GFXQ_VALUE), 1);
  EXPECT_EQ(list.CellText(0, 3), "1");

  accept = true;
  ASSERT_TRUE(list.BeginEdit(0, 3));
  list.EndEdit(false);
  EXPECT_EQ(CountKind(GFXQ_VALUE), 1);
  // Committing a drop-down list with nothing chosen gives no value either.
  ASSERT_TRUE(list.BeginEdit(0, 3));
  list.EndEdit(true);
  EXPECT_EQ(CountKind(GFXQ_VALUE), 1);
  EXPECT_EQ(list.CellText(0, 3), "1");

  // No choices from the owner: no editor at all.
  choices.clear();
  EXPECT_FALSE(list.BeginEdit(0, 3));
  EXPECT_FALSE(list.IsEditing());
  // A column without an editor flag opens nothing.
  EXPECT_FALSE(list.BeginEdit(0, 0));
}

TEST_F(GfxListEditTest, EditBoxCommitsWithEnterAndCancelsWithEscape) {
  list.SelectRow(2);
  Click(2, 4);
  ASSERT_TRUE(list.IsEditing());
  HWND editor = list.EditorWindow();
  char cls[16] = {};
  GetClassNameA(editor, cls, sizeof cls);
  EXPECT_STREQ(cls, "Edit");
  EXPECT_EQ(CountKind(GFXQ_CHOICES), 0);
  SetWindowTextA(editor, "changed");
  SendMessageA(editor, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !list.IsEditing(); }, 2000));
  EXPECT_EQ(list.CellText(2, 4), "changed");

  ASSERT_TRUE(list.BeginEdit(2, 4));
  SetWindowTextA(list.EditorWindow(), "discarded");
  SendMessageA(list.EditorWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !list.IsEditing(); }, 2000));
  EXPECT_EQ(list.CellText(2, 4), "changed");
  EXPECT_EQ(CountKind(GFXQ_VALUE), 1);
}

TEST_F(GfxListEditTest, MultiRowStyleSendsOneValueQueryPerSelectedRow) {
  list.SelectRow(0);
  list.SelectRow(2);
  ASSERT_TRUE(list.BeginEdit(2, 3));
  ASSERT_TRUE(list.PickEditorChoice(1));
  EXPECT_EQ(CountKind(GFXQ_VALUE), 1);  // style 0x40 is off
  EXPECT_EQ(list.CellText(0, 3), "1");

  list.ModifyListStyle(0, GFXS_MULTIEDIT);
  ASSERT_TRUE(list.BeginEdit(2, 3));
  ASSERT_TRUE(list.PickEditorChoice(1));
  EXPECT_EQ(CountKind(GFXQ_VALUE), 3);
  EXPECT_EQ(list.CellText(0, 3), "0");
  EXPECT_EQ(list.CellText(1, 3), "1");
  EXPECT_EQ(list.CellText(2, 3), "0");
}

TEST_F(GfxListEditTest, WithoutACallbackTheParentGetsTheQueries) {
  list.SetOwnerCallback(nullptr);
  list.SelectRow(1);
  ASSERT_TRUE(list.BeginEdit(1, 3));
  auto count = [&](int kind) {
    int n = 0;
    for (const auto& q : host.queries) n += q.kind == kind;
    return n;
  };
  EXPECT_EQ(count(GFXQ_CHOICES), 1);
  ASSERT_TRUE(list.PickEditorChoice(0));
  ASSERT_EQ(count(GFXQ_VALUE), 1);
  EXPECT_EQ(host.queries.back().kind, GFXQ_VALUE);
  EXPECT_EQ(host.queries.back().text, "Yes");
  EXPECT_EQ(list.CellText(1, 3), "Yes");
  EXPECT_TRUE(queries.empty());
}

}  // namespace

// --- look --------------------------------------------------------------------------------

// A list laid out like the Files page, checked as a whole: the header click
// reverses the sort, system rows are drawn in their colour, and a kind cell
// edits with the owner's choices. With VARNOKEL_SHOWCASE_MS set it stays
// on screen that long, to look at under a real display.
TEST(GfxListShowcase, FilesPageLikeList) {
  char buf[16] = {};
  const bool show = GetEnvironmentVariableA("VARNOKEL_SHOWCASE_MS", buf, sizeof buf) != 0;
  Host host;
  SetWindowPos(host.m_hWnd, nullptr, 40, 40, 820, 330, SWP_NOZORDER);
  CGfxListCtrl list;
  RECT rc{8, 8, 812, 322};
  ASSERT_TRUE(list.Create(host.m_hWnd, rc, kListId));
  list.CreateColumnManager();
  list.DefineColumn(0, "Icon", "", LVCFMT_CENTER, 30, 0x70);
  list.DefineColumn(1, "FileName", "", LVCFMT_LEFT, 320, 0x20);
  const char* kinds[] = {"Run", "Copy", "Open", "Modify", "Delete", "Find", "Print"};
  for (int i = 0; i < 7; ++i) list.DefineColumn(2 + i, kinds[i], "", LVCFMT_CENTER, 64, 0x61);
  const int order[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  list.SetDefaultOrder(9, order);
  list.ModifyListStyle(0, 0x1 | 0x2 | 0x4);
  list.ApplyColumns();
  list.SetRowHeight(17);
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 4);
  HBITMAP bmp = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(183), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(bmp, nullptr);
  ImageList_AddMasked(images, bmp, RGB(255, 0, 255));
  DeleteObject(bmp);
  list.SetImageList(images);
  struct Row {
    const char* path;
    int type;
    int denied;
    bool system;
  };
  const Row rows[] = {{"C:\\Users\\anna\\Documents\\budget 2026.xlsx", 5, 0x0A, false},
                      {"C:\\Users\\anna\\Documents\\Letters\\*", 5, 0x05, false},
                      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", 3, 0x12, true},
                      {"C:\\Windows\\System32\\drivers\\etc\\hosts", 5, 0x1A, true},
                      {"\\\\server\\share\\contracts", 4, 0x40, false},
                      {"D:\\", 5, 0x20, false}};
  list.SetOwnerCallback([&](HWND, GfxListQuery* q) -> LRESULT {
    if (q->kind == GFXQ_GRIDLINES) return 0;
    if (q->kind == GFXQ_FORMAT && rows[q->itemData].system) {
      q->format = 0x15;
      q->textColour = 0x008000FF;
    }
    if (q->kind == GFXQ_CHOICES) q->choices = {"Approved", "Denied"};
    return 1;
  });
  for (int i = 0; i < 6; ++i) {
    int r = list.InsertRow(i, rows[i].path, i);
    list.SetCellText(r, 1, rows[i].path);
    list.SetCellImage(r, 0, rows[i].type);
    for (int k = 0; k < 7; ++k) list.SetCellImage(r, 2 + k, (rows[i].denied >> k) & 1 ? 0 : 1);
  }
  list.SortByColumn(1, true);
  NMLISTVIEW nm{};
  nm.hdr = {list.m_hWnd, kListId, static_cast<UINT>(LVN_COLUMNCLICK)};
  nm.iSubItem = 1;
  SendMessageA(host.m_hWnd, WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&nm));
  // A first click sorts ascending (the call above was no click), a second
  // one turns the order round.
  auto inOrder = [&](int sign) {
    for (int r = 1; r < list.RowCount(); ++r) {
      const int c = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, list.CellText(r - 1, 1).c_str(), -1,
                                   list.CellText(r, 1).c_str(), -1) -
                    CSTR_EQUAL;
      if (c * sign > 0) return false;
    }
    return true;
  };
  ASSERT_EQ(6, list.RowCount());
  EXPECT_TRUE(inOrder(1));
  const std::string firstAscending = list.CellText(0, 1);
  SendMessageA(host.m_hWnd, WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&nm));
  EXPECT_TRUE(inOrder(-1));
  EXPECT_EQ(firstAscending, list.CellText(5, 1));
  // Only the two system rows carry the pink text.
  {
    int w = 0, h = 0;
    std::vector<DWORD> px = PaintClient(list.m_hWnd, w, h);
    int pinkRows = 0;
    for (int r = 0; r < 6; ++r) {
      RECT rc{};
      ListView_GetItemRect(list.m_hWnd, r, &rc, LVIR_BOUNDS);
      int pink = 0;
      for (int y = std::max(0, static_cast<int>(rc.top)); y < std::min(h, static_cast<int>(rc.bottom)); ++y)
        for (int x = 0; x < w; ++x) pink += (px[y * w + x] & 0xFFFFFF) == 0xFF0080;  // RGB 255,0,128 as BGRA
      const bool system = rows[list.RowData(r)].system;
      EXPECT_EQ(system, pink > 10) << list.CellText(r, 1) << " " << pink;
      pinkRows += pink > 10;
    }
    EXPECT_EQ(2, pinkRows);
  }
  list.SelectRow(1);
  list.SelectRow(4);
  SetFocus(list.m_hWnd);
  if (show) testsupport::PumpUntil([] { return false; }, 500);  // the window appears first
  if (!GetEnvironmentVariableA("VARNOKEL_SHOWCASE_CLICK", nullptr, 0)) {
    ASSERT_TRUE(list.BeginEdit(4, 5));
    ASSERT_TRUE(list.IsEditing());
    HWND editor = list.EditorWindow();
    ASSERT_EQ(2, SendMessageA(editor, CB_GETCOUNT, 0, 0));
    char first[16] = {};
    SendMessageA(editor, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_STREQ("Approved", first);
  }
  if (show) testsupport::PumpUntil([] { return false; }, static_cast<DWORD>(atoi(buf)));
  list.EndEdit(false);
  list.SetImageList(nullptr);
  ImageList_Destroy(images);
}
