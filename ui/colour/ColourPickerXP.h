// CColourPickerXP: a push button that shows a colour and drops down a
// palette of 40 named colours (CColourPopup) when clicked, with an optional
// "Automatic" choice and a "More Colors..." choice that opens the system's
// colour dialog. It tells its parent about the choice with CPN_SELCHANGE,
// CPN_DROPDOWN, CPN_CLOSEUP, CPN_SELENDOK and CPN_SELENDCANCEL (first
// parameter the colour, second the button's control identifier).
//
// In text mode the button looks like a drop-down field that names the
// colour: its palette name, or its red, green and blue values.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Window.h"
#include "ui/colour/ColourPopup.h"

class CColourPickerXP : public CWindow {
 public:
  CColourPickerXP();
  ~CColourPickerXP() override = default;

  // Subclasses the button and makes it owner-drawn.
  bool Attach(HWND hwnd);

  // Paints the button as it looks in the given state (ODS_* flags).
  virtual void DrawItem(HDC dc, const RECT& rc, UINT state);

  // The current colour; with the flag, the default colour when it is automatic.
  virtual COLORREF GetColour(bool defaultWhenAutomatic = false) const;
  virtual COLORREF GetStoredColour() const { return colour_; }
  virtual void SetColour(COLORREF colour);
  virtual COLORREF GetDefaultColour() const { return defaultColour_; }
  virtual void SetDefaultColour(COLORREF colour);
  virtual void SetCustomText(const std::string& text) { customText_ = text; }
  virtual void SetDefaultText(const std::string& text);
  virtual void SetCustomColourKey(const std::string& section) { customColourSection_ = section; }
  virtual void SetFollowMouse(bool on) { followMouse_ = on; }
  virtual bool GetFollowMouse() const { return followMouse_; }
  virtual void SetShowText(bool on);
  virtual bool GetShowText() const { return showText_; }
  virtual void SetChannelLabels(const std::string& labels);
  virtual void SetAddColourName(bool on);
  virtual bool GetAddColourName() const { return addColourName_; }

  bool IsActive() const { return active_; }
  const std::string& ChannelLabels() const { return labels_; }
  // What text mode shows for the current colour.
  std::string DisplayText() const;
  // Opens the palette as a click does.
  void DropDown();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void Notify(UINT msg, COLORREF colour) const;
  void Redraw() const;
  void DrawColourMode(HDC dc, const RECT& rc, UINT state) const;
  void DrawTextMode(HDC dc, const RECT& rc, UINT state) const;

  COLORREF colour_;
  COLORREF defaultColour_;
  std::string defaultText_;
  std::string customText_;
  bool followMouse_ = false;
  bool active_ = false;
  bool mouseInside_ = false;
  bool showText_ = false;
  bool addColourName_ = false;
  std::string labels_ = "RGB";
  std::string customColourSection_;
  bool flatMenus_ = false;
  COLORREF beforeDropDown_;
};
