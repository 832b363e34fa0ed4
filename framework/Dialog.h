// CDialogBase: a dialog built from a template of the program's resources,
// modal (DoModal) or modeless (Create), with its messages dispatched to
// virtual hook methods.
//
// The dialog procedure binds the object at WM_INITDIALOG and subclasses the
// window, so that every later message reaches WindowProc first and
// Default() runs the system's dialog processing.
#pragma once

#include "framework/Window.h"

class CDialogBase : public CWindow {
 public:
  explicit CDialogBase(UINT templateId, HWND parent = nullptr);
  ~CDialogBase() override;

  // Runs the dialog modally; returns the value given to EndDialog, or -1
  // when the dialog could not be created.
  INT_PTR DoModal();
  // Creates the dialog modeless (or as a child when the template says so).
  bool Create(HWND parent);
  void EndDialog(INT_PTR result);
  bool IsModal() const { return modal_; }
  UINT TemplateId() const { return templateId_; }
  HWND Parent() const { return parent_; }

 protected:
  // Binds the controls to their objects; called just before OnInitDialog.
  virtual void DoDataExchange() {}
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual bool OnCommand(UINT id, UINT code, HWND control);
  virtual bool OnNotify(NMHDR* header, LRESULT& result);
  virtual void OnTimer(UINT_PTR id);
  virtual void OnDestroy() {}

  void Bind(CWindow& control, int id);

  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  UINT templateId_;
  HWND parent_;
  bool modal_ = false;
};
