// CTreeComboBox: a drop-down list whose items form a small tree: each item
// has an image from an image list and an indentation level (top-level
// items and children appended as the last child of a group). The owner is
// told the index whenever the user confirms a choice, by mouse or keyboard.
// It works on an owner-drawn drop-down list (CBS_DROPDOWNLIST |
// CBS_OWNERDRAWFIXED | CBS_HASSTRINGS) from a dialog template.
#pragma once

#include <functional>
#include <string>

#include "framework/Window.h"

#include <commctrl.h>

class CTreeComboBox : public CWindow {
 public:
  static constexpr int kIndent = 16;  // pixels a level

  CTreeComboBox() = default;
  ~CTreeComboBox() override;

  // The image list stays the caller's unless owned is set.
  void SetImageList(HIMAGELIST images, bool owned);
  HIMAGELIST ImageList() const { return images_; }
  // Adds an item; parent -1 makes a top-level item, otherwise the item
  // becomes the last child of parent. Returns its index, or -1.
  int AddItem(const std::string& text, int image, int parent = -1);
  int Count() const;
  int Level(int index) const;
  int Image(int index) const;
  std::string ItemText(int index) const;
  // Selects an item without telling the owner; false for a bad index.
  bool SelectItem(int index);
  int Selected() const;
  // Called with the index of a choice the user confirmed.
  void SetOnConfirm(std::function<void(int)> handler) { onConfirm_ = std::move(handler); }

 protected:
  bool OnReflectedMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void DrawItem(const DRAWITEMSTRUCT& dis);
  void Confirm();

  HIMAGELIST images_ = nullptr;
  bool ownsImages_ = false;
  int lastConfirmed_ = -1;
  std::function<void(int)> onConfirm_;
};
