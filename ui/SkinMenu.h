// CSkinMenu: owner-drawn pop-up menus for one owner window.
//
// When a pop-up is about to open (WM_INITMENUPOPUP) its items are switched
// to owner-drawn; the owner passes WM_MEASUREITEM, WM_DRAWITEM and
// WM_MENUCHAR for menus on to the skin. Backgrounds come from a painter (the
// owner window): the menu background, each item's background and the column
// at the menu's left edge. The skin draws the texts, the highlight, check
// marks and separators itself, and the frame around the background when the
// painter declines to draw it.
//
// The skin is switched on per user-interface thread (Enable); while it is
// off, menus keep the standard drawing.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Handle.h"

// What a window that paints menu backgrounds implements.
class ISkinMenuPainter {
 public:
  virtual ~ISkinMenuPainter() = default;
  // The frame around the menu background; false lets the skin draw its own.
  virtual bool SkinDrawBorder(HDC dc, const RECT& menu) = 0;
  // The column at the menu's left edge (part of an item or the background).
  virtual void SkinDrawLeftColumn(HDC dc, const RECT& column, const RECT& menu) = 0;
  // One item's background: the matching part of the menu background.
  virtual void SkinDrawItemBackground(HDC dc, const RECT& item, const RECT& menu) = 0;
  // The whole menu background.
  virtual void SkinDrawMenuBackground(HDC dc, const RECT& menu) = 0;
};

class CSkinMenu {
 public:
  // Style bits of Enable.
  static constexpr DWORD kStyleGradient = 0x02;    // painter-drawn backgrounds
  static constexpr DWORD kStyleLeftColumn = 0x04;  // the column at the left edge
  static constexpr int kColumnWidth = 26;

  // Switches the skin on for the calling thread. style: kStyle* bits;
  // padding: extra height of every text item in pixels.
  static void Enable(DWORD style, DWORD padding);
  static void Disable();
  static bool Enabled();
  static DWORD Style();

  CSkinMenu();
  ~CSkinMenu();
  CSkinMenu(const CSkinMenu&) = delete;
  CSkinMenu& operator=(const CSkinMenu&) = delete;

  void SetPainter(ISkinMenuPainter* painter) { painter_ = painter; }
  // Colours by system colour index (menu 4, menu text 8, highlighted text
  // 14, button shadow 16); unset ones follow the system.
  void SetColour(int index, COLORREF colour);
  COLORREF Colour(int index) const;

  // Message hooks for the owner window; each returns true when it handled
  // the message.
  bool OnInitMenuPopup(HMENU menu, bool systemMenu);
  bool OnMeasureItem(MEASUREITEMSTRUCT* mis);
  bool OnDrawItem(const DRAWITEMSTRUCT* dis);
  bool OnMenuChar(UINT ch, HMENU menu, LRESULT& result);

  // Height of a menu's items as the skin measures them.
  int MenuHeight(HMENU menu);
  // Whether an item is owner-drawn by this skin.
  bool IsSkinned(HMENU menu, UINT position) const;

 private:
  struct Item {
    CSkinMenu* skin;
    std::string text;
    bool separator;
  };
  Item* ItemOf(HMENU menu, UINT position) const;
  SIZE MeasureItem(const Item& item, bool isDefault);
  void DrawItem(const DRAWITEMSTRUCT& dis, const Item& item);
  void UpdateBackground(HMENU menu, int width, int height);
  HFONT MenuFont(bool bold);

  ISkinMenuPainter* painter_ = nullptr;
  COLORREF colours_[31] = {};
  bool colourSet_[31] = {};
  std::vector<std::unique_ptr<Item>> items_;
  std::map<HMENU, GdiObject<HBRUSH>> backgrounds_;
  std::map<HMENU, RECT> menuRects_;
  GdiObject<HFONT> font_;
  GdiObject<HFONT> boldFont_;
};
