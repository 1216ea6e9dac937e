// What a toolkit backend provides to the framework: one IWindowHost per open
// dialog window, and one IUiBackend per process. framework/qt, framework/win32
// and framework/memory (tests) implement these; nothing above framework/ sees them.
#pragma once

#include <cstdint>

#include "framework/afx.h"

class CDialog;

// An icon of the program's resources, by resource id (0 = none).
using IconHandle = int;

struct FileDialogRequest {
  bool open = true;              // open dialog, else save dialog
  CString defaultExtension;      // without the dot, e.g. "txt"; empty for none
  CString proposedName;          // the file name proposed in the name box
  CString filterDescription;     // e.g. ".txt files(*.txt)"
  CString filterPattern;         // e.g. "*.txt"
  bool fileMustExist = false;    // open: only an existing file is accepted
  bool overwritePrompt = false;  // save: ask before replacing an existing file
  // Filled on success:
  CString pathName;  // the full path chosen
};

class IWindowHost {
 public:
  virtual ~IWindowHost() = default;

  virtual void SetTitle(const CString& text) = 0;
  virtual CString GetItemText(int id) = 0;
  // A write by the program: shown whole, never cut to the input limit.
  virtual void SetItemText(int id, const CString& text) = 0;
  // The most characters the user can type or paste into edit `id`.
  virtual void LimitText(int id, int maxChars) = 0;
  virtual void FocusAndSelectAll(int id) = 0;
  virtual int MessageBox(const CString& text, const CString& caption, UINT type) = 0;
  virtual void SetTimer(uintptr_t id, UINT elapseMs) = 0;
  virtual void KillTimer(uintptr_t id) = 0;
  // Screen rectangle of control `id`; false when there is no such control.
  virtual bool GetItemScreenRect(int id, CRect& rect) = 0;
  virtual CPoint ClientToScreen(CPoint p) = 0;
  virtual void EndDialog(int result) = 0;
  virtual bool IsMinimized() = 0;
  virtual void DrawIconCentered(IconHandle icon) = 0;  // paint of the minimised window
  virtual void SetIcon(IconHandle icon, bool big) = 0;
  // The window menu: false when the window has none.
  virtual bool HasSystemMenu() = 0;
  virtual void AppendSystemMenuSeparator() = 0;
  virtual void AppendSystemMenuItem(UINT command, const CString& text) = 0;
  virtual bool RunFileDialog(FileDialogRequest& request) = 0;
  // The desktop's handle of this window (to recognise it among other windows).
  virtual uint64_t NativeWindow() = 0;
};

class IUiBackend {
 public:
  virtual ~IUiBackend() = default;
  // Creates the window of `dlg` from its template, calls its OnInitDialog and
  // runs it modally, owned by `owner` (a dialog with a window) or by nobody;
  // returns the value passed to EndDialog.
  virtual int RunModal(CDialog& dlg, CDialog* owner) = 0;
  // The application's name: the executable's name without its extension.
  virtual CString ApplicationName() = 0;
  virtual CString LoadStringResource(UINT id) = 0;
  // A message box owned by no dialog.
  virtual int MessageBox(const CString& text, const CString& caption, UINT type) = 0;
};

// The backend the process runs on; set once at start-up.
IUiBackend* AfxGetBackend();
void AfxSetBackend(IUiBackend* backend);
