// CColourPopup: the palette window of the colour picker button. It shows the
// 40 named colours in a grid of 8 columns, an optional "Automatic" box above
// and an optional "More Colors..." box below, follows the mouse (which it
// captures) and the keyboard, and tells its button what is under the mouse
// and how the choice ended. It owns itself and goes away once the choice
// has ended.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

// Messages of the palette to its button and of the button to its parent
// (first parameter the colour; to the parent the second parameter is the
// button's control identifier).
constexpr UINT CPN_SELCHANGE = WM_USER + 1001;     // 2025: the colour under the mouse or keys changed
constexpr UINT CPN_DROPDOWN = WM_USER + 1002;      // 2026: the palette opens
constexpr UINT CPN_CLOSEUP = WM_USER + 1003;       // 2027: the palette closes
constexpr UINT CPN_SELENDOK = WM_USER + 1004;      // 2028: the choice was confirmed
constexpr UINT CPN_SELENDCANCEL = WM_USER + 1005;  // 2029: the choice was cancelled

// The colour value that stands for "automatic": the button's default colour.
constexpr COLORREF CLR_AUTOMATIC = 0xFF000000;

struct ColourTableEntry {
  COLORREF colour;
  const char* name;
};
constexpr int kColourCount = 40;
extern const ColourTableEntry kColourTable[kColourCount];
// The palette entry of a colour, or -1.
int FindColourEntry(COLORREF colour);
// Whether the system draws flat menus (asked on Windows XP and later only).
bool SystemHasFlatMenus();

class CColourPopup {
 public:
  // Items besides the cells 0..39.
  enum : int { kNoItem = -1, kCustomBox = -2, kDefaultBox = -3 };
  static constexpr int kColumns = 8;
  static constexpr int kCellSize = 18;
  static constexpr const char* kClassName = "VarnokelColourPopup";

  // Opens the palette below the button (a screen rectangle of the button's
  // window) and captures the mouse. The button receives CPN_SELCHANGE,
  // CPN_SELENDOK and CPN_SELENDCANCEL. Returns the palette, which deletes
  // itself, or nullptr.
  // defaultColour is what the default box shows for "automatic".
  static CColourPopup* Open(HWND button, COLORREF initial, COLORREF defaultColour, const std::string& defaultText,
                            const std::string& customText, const std::string& customColourSection);
  // The palette window of this thread that is open, if any.
  static CColourPopup* Current();

  // Where a palette of this size goes for a button rectangle: at the
  // button's lower-left corner, moved to stay inside the screen, above the
  // button when it would pass the bottom edge.
  static POINT Place(const RECT& button, SIZE size, const RECT& screen);
  // The item a key (VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN) moves to from item.
  static int Step(int item, UINT key, bool hasDefault, bool hasCustom);

  // The 16 custom colours of the system colour dialog: "CUSTOM_COLOR_%d" in
  // the profile section; all white without a section.
  static void LoadCustomColours(const std::string& section, COLORREF colours[16]);
  static void SaveCustomColours(const std::string& section, const COLORREF colours[16]);
  // The system colour dialog; tests put their own function here.
  using ChooseColourFn = BOOL(WINAPI*)(CHOOSECOLORA*);
  static ChooseColourFn chooseColour;

  int Selected() const { return selected_; }
  int Hot() const { return hot_; }
  COLORREF Chosen() const { return chosen_; }
  // An item's rectangle in client co-ordinates (empty when not shown).
  RECT ItemRect(int item) const;
  int ItemAt(POINT client) const;
  HWND Tooltip() const { return tooltip_; }
  HWND Window() const { return hwnd_; }

  CColourPopup(const CColourPopup&) = delete;
  CColourPopup& operator=(const CColourPopup&) = delete;

 private:
  CColourPopup(HWND button, COLORREF initial, COLORREF defaultColour, const std::string& defaultText,
               const std::string& customText, const std::string& section);
  ~CColourPopup();

  // The window procedure; the object is deleted when its window is gone,
  // so nothing may touch it after End() has destroyed the window.
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

  void Measure();
  void CreateTooltips();
  void SetHot(int item);
  COLORREF ItemColour(int item) const;
  void InvalidateItem(int item);
  void End(bool confirmed, bool focusButton);
  bool RunColourDialog();
  void Paint(HDC dc);
  void PaintItemBack(HDC dc, RECT rc, int item) const;

  HWND hwnd_ = nullptr;
  HWND button_;
  COLORREF initial_;
  COLORREF defaultColour_;
  std::string defaultText_;
  std::string customText_;
  std::string section_;
  HFONT font_ = nullptr;
  HWND tooltip_ = nullptr;
  bool flatMenus_ = false;
  bool ending_ = false;
  int margin_ = 2;
  SIZE size_{};
  RECT defaultBox_{};
  RECT customBox_{};
  POINT gridOrigin_{};
  int selected_ = kNoItem;
  int hot_ = kNoItem;
  COLORREF chosen_;
};
