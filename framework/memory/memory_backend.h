// The in-memory backend for tests: control texts in memory, scripted answers for
// message boxes and file dialogs, simulated typing that raises the change
// notification, and a log of everything the dialog did to its window.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/dialog_template.h"

struct ShownMessageBox {
  std::string text;  // UTF-8
  std::string caption;
  UINT type;
};

class MemoryHost : public IWindowHost {
 public:
  // Builds the controls of the dialog's template and runs OnInitDialog.
  explicit MemoryHost(CDialog& dlg);
  ~MemoryHost() override;

  // ---- what a user does ----
  // Types `text` at the end of edit `id` as a user would: refused characters
  // (digits-only fields) and characters beyond the input limit are dropped.
  void Type(int id, const std::string& text);
  // Replaces the whole text as a paste over a selection would (limit applies).
  void Paste(int id, const std::string& text);
  void Click(int id);
  void Tick(uintptr_t timerId = 1);
  void PressEsc();
  void CloseBox();
  // A left press at a point in the form's client coordinates (dialog units x 2).
  void LeftClickAt(CPoint client);
  // Client point in the middle of control `id`.
  CPoint CenterOf(int id) const;

  // ---- scripting ----
  // Answers for the next message boxes (IDYES / IDNO / IDOK); IDOK when empty.
  std::deque<int> messageBoxAnswers;
  // Called while a message box is open, before it is answered (to model the
  // nested loop: timer ticks arriving meanwhile).
  std::function<void(const ShownMessageBox&)> onMessageBox;
  // File dialogs: each call takes the next answer; an empty path cancels.
  std::deque<std::string> fileDialogAnswers;
  std::vector<FileDialogRequest> fileDialogs;

  // ---- what the dialog did ----
  std::vector<ShownMessageBox> messageBoxes;
  std::vector<std::string> titles;  // every title set, in order
  int focusedId = 0;
  bool selectedAll = false;
  bool timerRunning = false;
  UINT timerElapse = 0;
  bool ended = false;
  int endResult = 0;
  std::vector<std::pair<UINT, std::string>> systemMenu;  // command 0 = separator
  int setTextCalls = 0;                                  // programmatic writes into controls

  std::string Text(int id) const;
  int Limit(int id) const;
  std::string Title() const { return m_title.ToUtf8(); }

  // ---- IWindowHost ----
  void SetTitle(const CString& text) override;
  CString GetItemText(int id) override;
  void SetItemText(int id, const CString& text) override;
  void LimitText(int id, int maxChars) override;
  void FocusAndSelectAll(int id) override;
  int MessageBox(const CString& text, const CString& caption, UINT type) override;
  void SetTimer(uintptr_t id, UINT elapseMs) override;
  void KillTimer(uintptr_t id) override;
  bool GetItemScreenRect(int id, CRect& rect) override;
  CPoint ClientToScreen(CPoint p) override;
  void EndDialog(int result) override;
  bool IsMinimized() override { return false; }
  void DrawIconCentered(IconHandle) override {}
  void SetIcon(IconHandle icon, bool big) override { (big ? bigIcon : smallIcon) = icon; }
  bool HasSystemMenu() override { return true; }
  void AppendSystemMenuSeparator() override { systemMenu.emplace_back(0, ""); }
  void AppendSystemMenuItem(UINT command, const CString& text) override {
    systemMenu.emplace_back(command, text.ToUtf8());
  }
  bool RunFileDialog(FileDialogRequest& request) override;
  uint64_t NativeWindow() override { return nativeWindow; }

  IconHandle bigIcon = 0, smallIcon = 0;
  uint64_t nativeWindow = 0x51;
  // Where the client area's origin is on the screen.
  CPoint screenOrigin{100, 50};

 private:
  struct Control {
    const ControlTemplate* tmpl;
    CString text;
    int limit = 30000;
  };
  Control* Find(int id);
  const Control* Find(int id) const;
  void Changed(int id);

  CDialog& m_dlg;
  CString m_title;
  std::map<int, Control> m_controls;
};

// The process-wide backend for tests: application name "Loreth", string 101.
class MemoryBackend : public IUiBackend {
 public:
  MemoryBackend() { AfxSetBackend(this); }
  ~MemoryBackend() override { AfxSetBackend(nullptr); }
  int RunModal(CDialog& dlg, CDialog* owner) override;
  CString ApplicationName() override { return "Loreth"; }
  CString LoadStringResource(UINT id) override;
  int MessageBox(const CString& text, const CString& caption, UINT type) override;

  std::vector<int> modalRuns;  // template ids of dialogs run modally
  std::vector<ShownMessageBox> messageBoxes;
};
