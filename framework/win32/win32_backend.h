// The Win32 backend of the framework: each dialog is a real modal dialog built
// from its resource template (DialogBoxParamW), and its window procedure turns
// the messages the dialog code handles into framework Messages.
#pragma once

#include <windows.h>

// <windows.h> makes these names macros (MessageBoxW, IsIconic); the framework's
// methods of the same names must keep theirs. Win32 code here calls the W
// functions by their own names.
#undef MessageBox
#undef IsMinimized

#include "framework/dialog.h"
#include "framework/host.h"

// CString holds UTF-16 code units, as wchar_t does on Windows.
inline const wchar_t* WideText(const CString& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline CString FromWide(const wchar_t* s, size_t n) {
  return CString(std::u16string(reinterpret_cast<const char16_t*>(s), n));
}

class Win32Host : public IWindowHost {
 public:
  explicit Win32Host(CDialog& dlg) : m_dlg(dlg) {}

  CDialog& Dialog() { return m_dlg; }
  HWND Window() const { return m_hwnd; }
  void SetWindow(HWND hwnd) { m_hwnd = hwnd; }

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
  bool IsMinimized() override;
  void DrawIconCentered(IconHandle icon) override;
  void SetIcon(IconHandle icon, bool big) override;
  bool HasSystemMenu() override;
  void AppendSystemMenuSeparator() override;
  void AppendSystemMenuItem(UINT command, const CString& text) override;
  bool RunFileDialog(FileDialogRequest& request) override;
  uint64_t NativeWindow() override { return reinterpret_cast<uintptr_t>(m_hwnd); }

 private:
  CDialog& m_dlg;
  HWND m_hwnd = nullptr;
};

class Win32Backend : public IUiBackend {
 public:
  explicit Win32Backend(HINSTANCE instance);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  int RunModal(CDialog& dlg, CDialog* owner) override;
  CString ApplicationName() override;
  CString LoadStringResource(UINT id) override;
  int MessageBox(const CString& text, const CString& caption, UINT type) override;

  HINSTANCE Instance() const { return m_instance; }
  // The icon resource `icon` at the system's big or small icon size (shared:
  // loaded once by the system, never destroyed); nullptr when there is none.
  HICON Icon(IconHandle icon, bool big) const;

 private:
  HINSTANCE m_instance;
};

// The backend the process runs on, when it is the Win32 one.
Win32Backend* Win32BackendInstance();
