// CRowTipList: the Files page's list with a tooltip for the row under the
// pointer. One tool at a time covers the hovered row; when the pointer
// moves to another row the tool is made again for that row, so the tooltip
// hides and comes back with the new row's text (asked for when shown).
// Mouse messages are relayed to the tooltip from the list's own procedure.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/gfxlist/GfxListCtrl.h"

class CRowTipList : public CGfxListCtrl {
 public:
  // Width in pixels after which the tip's lines wrap.
  static constexpr int kMaxTipWidth = 520;
  // How long a tip stays while the pointer rests.
  static constexpr int kTipShowMs = 30000;

  // The text of a row's tip ("" shows none).
  using TipText = std::function<std::string(int row)>;

  CRowTipList() = default;
  ~CRowTipList() override;

  // Makes the tooltip, once the list's window is there.
  bool EnableRowTips(TipText text);
  HWND TipWindow() const { return tip_; }
  // The row that the tooltip's tool covers now; -1 for none.
  int TipRow() const { return tipRow_; }
  // The tool's identifier for a row.
  static UINT_PTR ToolId(int row) { return static_cast<UINT_PTR>(row) + 1; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void TrackPointer(POINT client);
  void SetToolRow(int row);
  bool OnTipNotify(NMHDR* header);
  void DestroyTip();

  HWND tip_ = nullptr;
  int tipRow_ = -1;
  TipText text_;
  std::string textA_;
  std::wstring textW_;
};
