// CDlgPageLog: the Log page, a child dialog (template 1208) whose one list
// shows the records that the access engine appends to the log file, one row
// per record, newest at the bottom, coloured by the kind of access. A reader
// thread follows the log from the page's creation to its destruction.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "log/LogFile.h"
#include "log/LogReadThread.h"
#include "log/LogRowMenu.h"
#include "ui/BkDialogST.h"
#include "ui/ListCtrlStyled.h"

class CDlgPageLog : public CBkDialogST {
 public:
  CDlgPageLog();
  ~CDlgPageLog() override;

  // Creates the page as a child of the tab control's owner.
  bool Create(HWND parent) { return CDialogBase::Create(parent); }

  // Another log than the system directory's QX5.log (tests); before Create.
  void SetLogSource(const std::string& path, const std::string& mappingName, const std::string& eventName);
  // Starts Explorer with the given parameters ("/select,<path>"); tests
  // replace it.
  void SetExplorerLauncher(std::function<void(const std::string&)> launcher) { launcher_ = std::move(launcher); }

  // Stops the reader behind the progress window and closes the log. True
  // when the reader ended within the window's wait. Also done when the
  // window is destroyed.
  bool StopReader();
  // How long StopReader waits for the reader in all: by default the
  // progress window's wait and then a short grace; the end of the session
  // allows less.
  void LimitStopWait(DWORD ms) { stopWaitMs_ = ms; }

  CListCtrlStyled& List() { return list_; }
  // The commands on the selected rows (the context menu and its keys).
  CLogRowMenu& RowMenu() { return rowMenu_; }
  CLogReadThread& Reader() { return reader_; }
  // The log file; null before the page is created.
  CLogFile* LogFile() { return logFile_.get(); }

 protected:
  BOOL OnInitDialog() override;
  void OnDestroy() override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void OnDoubleClick();
  void InitColumns();

  CListCtrlStyled list_;
  CLogRowMenu rowMenu_{nullptr, list_};
  HIMAGELIST systemImages_ = nullptr;
  CLogReadThread reader_;
  std::unique_ptr<CLogFile> logFile_;
  ReaderParams params_{};
  uint32_t batchCount_ = 0;
  uint32_t readPos_ = 0;
  LogItemList itemList_;

  std::string logPath_;
  std::string mappingName_;
  bool readerDone_ = false;
  DWORD stopWaitMs_ = 0;  // 0: no limit beyond the usual waits
  std::function<void(const std::string&)> launcher_;
};
