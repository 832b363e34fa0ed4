#include "ui/markup/MarkupDrawer.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "framework/Module.h"
#include "framework/Trace.h"
#include "ui/Paint.h"
#include "ui/markup/MarkupBackground.h"

namespace {

// Numbers in image attributes; def when missing.
long Num(const MarkupImageRef& r, const char* name, long def) { return r.Number(name, def); }

std::string ImageKey(const MarkupImageRef& r) {
  std::string key(1, static_cast<char>('0' + static_cast<int>(r.kind)));
  for (const auto& a : r.attributes) {
    if (a.name == "index" || a.name == "style" || a.name == "hotstyle") continue;
    key += '|' + a.name + '=' + a.value;
  }
  return key;
}

// The module that holds an image's resources: the program, or a DLL named
// by "srcdll" (loaded as data, once per name for the process).
HINSTANCE ResourceModule(const MarkupImageRef& r) {
  const std::string* dll = r.Attr("srcdll");
  if (!dll || dll->empty()) return AppInstance();
  static std::vector<std::pair<std::string, HMODULE>> loaded;
  for (const auto& [name, mod] : loaded)
    if (name == *dll) return mod;
  HMODULE mod = LoadLibraryExA(dll->c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  loaded.emplace_back(*dll, mod);
  return mod;
}

}  // namespace

MarkupDrawer::MarkupDrawer() : shadow_(GetSysColor(COLOR_BTNSHADOW)) {}

MarkupDrawer::~MarkupDrawer() {
  for (auto& f : fonts_) DeleteObject(f.second);
  for (auto& i : images_) {
    if (!i.owned || !i.handle) continue;
    if (i.icon)
      DestroyIcon(static_cast<HICON>(i.handle));
    else
      DeleteObject(i.handle);
  }
}

void MarkupDrawer::SetText(std::string_view text) {
  text_.assign(text);
  hover_ = kNoArea;
  Invalidate();
}

int MarkupDrawer::AddStyleSheet(std::string_view sheet) {
  Invalidate();
  return sheet_.Add(sheet);
}

void MarkupDrawer::SetMaxWidth(int width) {
  if (width < 0) width = 0;
  if (width != options_.maxWidth) Invalidate();
  options_.maxWidth = width;
}

void MarkupDrawer::SetTabWidth(int width) {
  options_.tabWidth = std::max(1, width);
  Invalidate();
}

void MarkupDrawer::SetLinesAreMarkup(bool on) {
  options_.linesAreMarkup = on;
  Invalidate();
}

SIZE MarkupDrawer::Measure(HDC dc) {
  const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  if (ppi != ppi_) {
    ppi_ = ppi > 0 ? ppi : 96;
    dirty_ = true;
  }
  if (dirty_) {
    measureDc_ = dc;
    options_.hoverLink = hover_;
    try {
      layout_ = LayoutMarkup(text_, sheet_, options_, *this);
    } catch (const std::exception& e) {
      layout_ = MarkupLayout();
      Trace(std::string("MarkupDrawer::Measure:") + e.what() + "\n");
    }
    measureDc_ = nullptr;
    dirty_ = false;
  }
  return SIZE{layout_.width, layout_.height};
}

// ---- Host: measuring, images, strings -------------------------------------

HFONT MarkupDrawer::FontFor(const MarkupFont& f) {
  for (const auto& [font, handle] : fonts_)
    if (font == f) return handle;
  HFONT h =
      CreateFontA(-f.height, 0, 0, 0, f.weight, f.italic, f.underline, f.strike, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, f.face.c_str());
  if (!h) h = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_.emplace_back(f, h);
  return h;
}

void MarkupDrawer::MeasureText(const MarkupFont& font, std::string_view text, std::vector<int>& prefix) {
  HDC dc = measureDc_;
  HGDIOBJ old = SelectObject(dc, FontFor(font));
  // The system measures at most a few thousand characters at once.
  constexpr size_t kChunk = 4096;
  std::vector<int> dx(std::min(text.size(), kChunk));
  int base = 0;
  for (size_t pos = 0; pos < text.size(); pos += kChunk) {
    const int n = static_cast<int>(std::min(kChunk, text.size() - pos));
    SIZE size{};
    int fit = 0;
    if (!GetTextExtentExPointA(dc, text.data() + pos, n, INT_MAX, &fit, dx.data(), &size)) {
      for (int i = 0; i < n; ++i) dx[i] = (i + 1) * font.height / 2;
    }
    for (int i = 0; i < n; ++i) prefix.push_back(base + dx[i]);
    base = prefix.back();
  }
  SelectObject(dc, old);
}

void MarkupDrawer::FontMetrics(const MarkupFont& font, int& height, int& ascent) {
  HDC dc = measureDc_;
  HGDIOBJ old = SelectObject(dc, FontFor(font));
  TEXTMETRICA tm{};
  if (GetTextMetricsA(dc, &tm)) {
    height = tm.tmHeight;
    ascent = tm.tmAscent;
  } else {
    height = font.height;
    ascent = font.height * 4 / 5;
  }
  SelectObject(dc, old);
}

const MarkupDrawer::Image* MarkupDrawer::ImageFor(const MarkupImageRef& ref) {
  const std::string key = ImageKey(ref);
  for (const Image& i : images_)
    if (i.key == key) return i.handle ? &i : nullptr;
  Image img;
  img.key = key;
  const long id = Num(ref, "idres", Num(ref, "iddll", 0));
  const std::string* file = ref.Attr("file");
  const long handle = Num(ref, "handle", 0);
  if (const std::string* m = ref.Attr("mask")) img.mask = ParseMarkupColour(*m, kMarkupNoColour, nullptr);
  if (ref.kind == MarkupImageKind::Icon) {
    img.icon = true;
    const int w = static_cast<int>(std::clamp(Num(ref, "width", 16), 1L, 256L));
    const int h = static_cast<int>(std::clamp(Num(ref, "height", 16), 1L, 256L));
    if (handle) {
      img.handle = reinterpret_cast<HICON>(static_cast<INT_PTR>(handle));
    } else {
      img.owned = true;
      if (file && !file->empty())
        img.handle = LoadImageA(nullptr, file->c_str(), IMAGE_ICON, w, h, LR_LOADFROMFILE);
      else if (id > 0 && id < 65536)
        img.handle = LoadImageA(ResourceModule(ref), MAKEINTRESOURCEA(id), IMAGE_ICON, w, h, 0);
    }
    img.w = w;
    img.h = h;
  } else {
    if (handle) {
      img.handle = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(handle));
    } else {
      img.owned = true;
      if (file && !file->empty())
        img.handle = LoadImageA(nullptr, file->c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
      else if (id > 0 && id < 65536)
        img.handle = LoadImageA(ResourceModule(ref), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    }
    BITMAP bm{};
    if (img.handle && GetObjectA(img.handle, sizeof bm, &bm)) {
      img.w = bm.bmWidth;
      img.h = bm.bmHeight;
      if (ref.kind == MarkupImageKind::ImageList) {
        // A strip of square images unless "width" gives their width.
        const int w = static_cast<int>(std::clamp(Num(ref, "width", bm.bmHeight), 1L, 4096L));
        img.count = std::max<int>(1, bm.bmWidth / w);
        img.w = w;
      }
    }
  }
  images_.push_back(img);
  return images_.back().handle ? &images_.back() : nullptr;
}

bool MarkupDrawer::ImageSize(const MarkupImageRef& ref, int& width, int& height) {
  const Image* img = ImageFor(ref);
  if (!img) return false;
  width = img->w;
  height = img->h;
  return true;
}

std::string MarkupDrawer::StringResource(unsigned id) { return LoadStr(id); }

MarkupColour MarkupDrawer::SystemColour(int index) { return GetSysColor(index); }

int MarkupDrawer::PixelsPerInch() { return ppi_; }

bool MarkupDrawer::HasAnimation() const {
  for (const auto& r : layout_.images)
    if (r.kind == MarkupImageKind::ImageList && r.Number("speed", 0) > 0 && !r.Attr("index")) return true;
  return false;
}

// ---- Drawing ----------------------------------------------------------------

void MarkupDrawer::DrawImage(HDC dc, const MarkupItem& it, int x, int y) {
  const MarkupImageRef& ref = layout_.images[it.image];
  const Image* img = ImageFor(ref);
  if (!img) return;
  if (img->icon) {
    DrawIconEx(dc, x, y, static_cast<HICON>(img->handle), it.w, it.h, 0, nullptr, DI_NORMAL);
    return;
  }
  int frame = 0;
  if (ref.kind == MarkupImageKind::ImageList) {
    const long index = ref.Number("index", -1);
    frame = index >= 0 ? static_cast<int>(index % img->count)
                       : (ref.Number("speed", 0) > 0 ? static_cast<int>(frame_ % img->count) : 0);
  }
  HDC src = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(src, img->handle);
  if (img->mask != kMarkupNoColour)
    TransparentBlt(dc, x, y, it.w, it.h, src, frame * img->w, 0, img->w, img->h, img->mask);
  else
    StretchBlt(dc, x, y, it.w, it.h, src, frame * img->w, 0, img->w, img->h, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
}

void MarkupDrawer::DrawItems(HDC dc, int ox, int oy, int parts, COLORREF textOverride) {
  const bool disabledPass = parts == kTextParts;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  for (const MarkupItem& it : layout_.items) {
    const int x = ox + it.x, y = oy + it.y;
    RECT rc{x, y, x + it.w, y + it.h};
    switch (it.kind) {
      case MarkupItem::Fill:
        if (!disabledPass) PaintMarkupEffect(dc, rc, it.effect, it.colour, it.colour2, it.colour3, 5);
        break;
      case MarkupItem::Frame:
        if (!disabledPass) DrawMarkupFrame(dc, rc, it.colour, it.colour2, it.thickness);
        break;
      case MarkupItem::Rule: {
        if (parts == kOtherParts) break;
        const COLORREF c = textOverride != kMarkupNoColour ? textOverride : it.colour;
        RECT line{x, y, x + it.w, y + 1};
        PaintMarkupEffect(dc, line, 0, c, c, c, 1);
        OffsetRect(&line, 0, 1);
        const COLORREF soft = MixColour(c, GetSysColor(COLOR_BTNHIGHLIGHT), 60);
        PaintMarkupEffect(dc, line, 0, soft, soft, soft, 1);
        break;
      }
      case MarkupItem::Text: {
        if (parts == kOtherParts) break;
        HGDIOBJ old = SelectObject(dc, FontFor(layout_.fonts[it.font]));
        const COLORREF c = textOverride != kMarkupNoColour ? textOverride : it.colour;
        SetTextColor(dc, c);
        TextOutA(dc, x, y, it.text.data(), static_cast<int>(it.text.size()));
        if (it.overline) {
          RECT line{x, y, x + it.w, y + 1};
          PaintMarkupEffect(dc, line, 0, c, c, c, 1);
        }
        SelectObject(dc, old);
        break;
      }
      case MarkupItem::Image:
        if (!disabledPass) DrawImage(dc, it, x, y);
        break;
    }
  }
  SetBkMode(dc, oldMode);
}

void MarkupDrawer::Draw(HDC dc, int x, int y) {
  Measure(dc);
  origin_ = POINT{x, y};
  if (enabled_) {
    DrawItems(dc, x, y, kAllParts, kMarkupNoColour);
    return;
  }
  // Disabled: the text once one pixel lower right in the highlight colour,
  // then in place in the shadow colour.
  DrawItems(dc, x, y, kOtherParts, kMarkupNoColour);
  DrawItems(dc, x + 1, y + 1, kTextParts, GetSysColor(COLOR_BTNHIGHLIGHT));
  DrawItems(dc, x, y, kTextParts, shadow_);
}

// ---- Links ------------------------------------------------------------------

std::vector<MarkupLinkArea> MarkupDrawer::LinkAreas() const {
  std::vector<MarkupLinkArea> areas = layout_.links;
  for (auto& a : areas) {
    a.x += origin_.x;
    a.y += origin_.y;
  }
  return areas;
}

int MarkupDrawer::LinkAt(POINT pt) const {
  for (const auto& a : layout_.links) {
    const int x = pt.x - origin_.x, y = pt.y - origin_.y;
    if (x >= a.x && x < a.x + a.w && y >= a.y && y < a.y + a.h) return a.link;
  }
  return kNoArea;
}

void MarkupDrawer::SetHoverNotify(HWND wnd, UINT msg, LPARAM value) {
  hoverWnd_ = wnd;
  hoverMsg_ = msg;
  hoverValue_ = value;
}

void MarkupDrawer::SetLinkNotify(HWND wnd, UINT msg, LPARAM value) {
  linkWnd_ = wnd;
  linkMsg_ = msg;
  linkValue_ = value;
}

bool MarkupDrawer::OnMouseMove(POINT pt) {
  const int area = LinkAt(pt);
  if (area == hover_) return false;
  hover_ = area;
  Invalidate();  // the hovered link takes the "a:hover" style
  if (hoverWnd_ && hoverMsg_) SendMessageA(hoverWnd_, hoverMsg_, static_cast<WPARAM>(area), hoverValue_);
  return true;
}

bool MarkupDrawer::OnMouseLeave() { return OnMouseMove(POINT{INT_MIN / 2, INT_MIN / 2}); }

bool MarkupDrawer::OnSetCursor(POINT pt) const {
  const int link = LinkAt(pt);
  if (link == kNoArea) return false;
  for (const auto& a : layout_.links)
    if (a.link == link && !a.target.empty()) {
      if (HCURSOR hand = HandCursor()) SetCursor(hand);
      return true;
    }
  return false;
}

bool MarkupDrawer::OnClick(POINT pt) {
  const int link = LinkAt(pt);
  if (link == kNoArea) return false;
  for (const auto& a : layout_.links) {
    if (a.link != link) continue;
    if (a.kind == 2) {
      if (linkWnd_ && linkMsg_)
        SendMessageA(linkWnd_, linkMsg_, reinterpret_cast<WPARAM>(a.target.c_str()), linkValue_);
    } else if (!a.target.empty()) {
      if (opener_)
        opener_(a.target);
      else
        OpenTarget(a.target);
    }
    return true;
  }
  return false;
}

bool MarkupDrawer::OpenTarget(const std::string& target) {
  const auto r =
      reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (r > 32) return true;
  // The shell refused: start the program registered for web pages.
  char cls[260] = {};
  LONG size = sizeof cls;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", cls, &size) != ERROR_SUCCESS || !cls[0]) return false;
  char command[1024] = {};
  size = sizeof command;
  const std::string key = std::string(cls) + "\\shell\\open\\command";
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), command, &size) != ERROR_SUCCESS || !command[0]) return false;
  std::string line = MarkupHtmCommand(command, target);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

HCURSOR MarkupDrawer::HandCursor() {
  static HCURSOR hand = [] {
    HCURSOR c = nullptr;
    const std::string help = WindowsDir() + "\\winhlp32.exe";
    if (HMODULE mod = LoadLibraryExA(help.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
      if (HCURSOR h = LoadCursorA(mod, MAKEINTRESOURCEA(106)))
        c = static_cast<HCURSOR>(CopyImage(h, IMAGE_CURSOR, 0, 0, 0));
      FreeLibrary(mod);
    }
    // Without the help program's cursor the system's hand serves.
    if (!c) c = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
    return c;
  }();
  return hand;
}
