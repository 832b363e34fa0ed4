// CGfxCellEditor: the owner-drawn list's in-place editor, an edit box or a
// combo box over a cell (or the edit box inside an editable combo box). It
// turns Enter and Escape into the end of the edit; the list ends the edit
// through GfxEndEditMessage once the editor's own message has been handled.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Window.h"

class CGfxListCtrl;

// Posted to the list with wParam "commit" and lParam the editor's session:
// the editor window must not be destroyed while one of its notifications is
// running, so the end of an edit waits for the next message.
UINT GfxEndEditMessage();

class CGfxCellEditor : public CWindow {
 public:
  CGfxCellEditor(CGfxListCtrl* list, DWORD type, unsigned session) : list_(list), type_(type), session_(session) {}
  ~CGfxCellEditor() override;
  CGfxCellEditor(const CGfxCellEditor&) = delete;
  CGfxCellEditor& operator=(const CGfxCellEditor&) = delete;

  // GFXCOL_EDITBOX, GFXCOL_EDITDROPLIST or GFXCOL_EDITDROPDOWN.
  DWORD Type() const { return type_; }
  unsigned Session() const { return session_; }
  // The edit box inside an editable combo box.
  std::unique_ptr<CGfxCellEditor> inner_;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  CGfxListCtrl* list_;
  DWORD type_;
  unsigned session_;
};
