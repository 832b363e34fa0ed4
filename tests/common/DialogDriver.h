// Drives modal dialogs and message boxes of the test's own thread: while a
// modal loop runs, a thread timer looks for top-level windows with a given
// title and runs the action registered for it (once per window).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class DialogDriver {
 public:
  DialogDriver();
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // Runs action(hwnd) for every new window whose title equals title.
  void On(const std::string& title, std::function<void(HWND)> action);
  // The texts of the message boxes that were answered through Answer().
  const std::vector<std::string>& MessageTexts() const { return texts_; }

  // The text of a message box (its static control).
  static std::string MessageBoxText(HWND box);
  // Records the text of a message box and presses one of its buttons.
  void Answer(HWND box, int buttonId);
  // Puts a text into a control of a dialog.
  static void SetItemText(HWND dlg, int id, const std::string& text);
  // Clicks a button of a dialog (posts, so the dialog's loop handles it).
  static void Click(HWND dlg, int id);

 private:
  struct Handler {
    std::string title;
    std::function<void(HWND)> action;
  };
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  void Poll();

  UINT_PTR timer_ = 0;
  std::vector<Handler> handlers_;
  std::vector<HWND> seen_;
  std::vector<std::string> texts_;
};

}  // namespace testsupport
