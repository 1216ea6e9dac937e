// Our stand-in for the little of the application framework the program relies on:
// a dialog with a message map, the data exchange with its checks and standard
// messages, message boxes and the application object.
#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "framework/afx.h"
#include "framework/host.h"

// Window messages and control notifications that reach a dialog.
enum class Msg { Command, Timer, LButtonDown, SysCommand, Paint, QueryDragIcon, Close };
enum class Notify { None, Clicked, Change };

struct Message {
  Msg msg = Msg::Command;
  int id = 0;                  // Command: the control (or IDOK / IDCANCEL)
  Notify code = Notify::None;  // Command: the notification
  uintptr_t param = 0;         // Timer: timer id; SysCommand: command value
  intptr_t lParam = 0;         // SysCommand: extra value
  UINT flags = 0;              // LButtonDown: key-state flags
  CPoint point;                // LButtonDown: client coordinates
};

inline Message CommandMessage(int id, Notify code) {
  Message m;
  m.id = id;
  m.code = code;
  return m;
}
inline Message SimpleMessage(Msg msg, uintptr_t param = 0) {
  Message m;
  m.msg = msg;
  m.param = param;
  return m;
}

inline constexpr UINT SC_CLOSE_COMMAND = 0xF060;

class CDialog;

// One entry of a message map: a message (and for commands a control and a
// notification) bound to a handler of the dialog class T.
template <class T>
struct MessageMapEntry {
  using Plain = void (T::*)();
  using Timer = void (T::*)(uintptr_t);
  using Mouse = void (T::*)(UINT, CPoint);
  using SysCmd = void (T::*)(UINT, intptr_t);
  using DragIcon = IconHandle (T::*)();
  Msg msg;
  int id;
  Notify code;
  std::variant<Plain, Timer, Mouse, SysCmd, DragIcon> pfn;
};

class CDataExchange {
 public:
  CDataExchange(CDialog* dlg, BOOL bSaveAndValidate)
      : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(dlg) {}
  BOOL m_bSaveAndValidate;
  CDialog* m_pDlgWnd;
  int m_idLastControl = 0;

  void PrepareEditCtrl(int id) { m_idLastControl = id; }
  // Shows `message` (unless it repeats a failure already shown), moves the focus to
  // the last control with its text selected, and ends the exchange.
  [[noreturn]] void Fail(const CString& message);
};

// Exchanges: text as it is; the row field as an integer; total and delay as numbers.
void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, float& value);
// Checks after reading; DDV_MaxChars also limits typing when writing.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxFloat(CDataExchange* pDX, float value, float minVal, float maxVal);

// A message box owned by the main window, captioned with the application name.
// A box given no icon gets the exclamation icon.
int AfxMessageBox(const CString& text, UINT type = MB_OK);

class CDialog {
 public:
  explicit CDialog(int templateId, CDialog* parent = nullptr)
      : m_nIDTemplate(templateId), m_pParentWnd(parent) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  int DoModal();
  int GetTemplateId() const { return m_nIDTemplate; }

  // Runs the exchange in one direction; FALSE when a check failed. An exchange
  // never starts inside another one (a message box of the first runs a nested
  // loop): such a call does nothing and returns FALSE.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  // Reads like UpdateData(TRUE) for an exchange repeated many times a second: a
  // failure equal to the one this kind of read reported last is not shown again
  // (and the focus is left alone) until a read succeeds.
  BOOL UpdateDataRepeated();

  // Entry point for the backend: a message for this dialog. Returns true when the
  // dialog handled it, false when the backend's default handling must run.
  bool HandleMessage(const Message& m, intptr_t* result = nullptr);

  // Called by the backend once the window exists.
  void Attach(IWindowHost* host) { m_pHost = host; }
  IWindowHost* Host() const { return m_pHost; }

  // Window services used by dialog code.
  void SetWindowTitle(const CString& text);
  void SetItemText(int id, const CString& text);
  CString GetItemText(int id) const;
  void SetTimer(uintptr_t id, UINT elapseMs);
  void KillTimer(uintptr_t id);
  void EndDialog(int result);
  BOOL IsIconic() const;
  void ClientToScreen(CPoint& p) const;
  bool GetItemScreenRect(int id, CRect& rect) const;
  uint64_t NativeWindow() const;

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // Looks the message up in the dialog's map; false when there is no entry.
  virtual bool OnWndMsg(const Message& m, intptr_t* result);
  // The base handlers: they ask for the backend's default handling.
  void OnSysCommand(UINT nID, intptr_t lParam);
  void OnPaint();
  void OnClose();
  void OnTimer(uintptr_t nIDEvent);
  void OnLButtonDown(UINT nFlags, CPoint point);
  void Default() { m_bDefault = true; }

  template <class T>
  static bool Dispatch(T& self, std::span<const MessageMapEntry<T>> map, const Message& m,
                       intptr_t* result);

 private:
  friend class CDataExchange;
  BOOL RunExchange(BOOL bSave, bool repeated);
  void ReportFailure(int id, const CString& message);

  int m_nIDTemplate;
  CDialog* m_pParentWnd;
  IWindowHost* m_pHost = nullptr;
  bool m_bInExchange = false;
  bool m_bDefault = false;
  bool m_bRepeatedExchange = false;
  // The failure the last repeated read reported: control and message.
  int m_idLastRepeatedFailure = 0;
  CString m_strLastRepeatedFailure;
};

template <class T>
bool CDialog::Dispatch(T& self, std::span<const MessageMapEntry<T>> map, const Message& m,
                       intptr_t* result) {
  using E = MessageMapEntry<T>;
  for (const E& e : map) {
    if (e.msg != m.msg) continue;
    if (m.msg == Msg::Command && (e.id != m.id || e.code != m.code)) continue;
    if (auto p = std::get_if<typename E::Plain>(&e.pfn)) {
      (self.**p)();
    } else if (auto t = std::get_if<typename E::Timer>(&e.pfn)) {
      (self.**t)(m.param);
    } else if (auto mo = std::get_if<typename E::Mouse>(&e.pfn)) {
      (self.**mo)(m.flags, m.point);
    } else if (auto s = std::get_if<typename E::SysCmd>(&e.pfn)) {
      (self.**s)(static_cast<UINT>(m.param), m.lParam);
    } else if (auto d = std::get_if<typename E::DragIcon>(&e.pfn)) {
      IconHandle icon = (self.**d)();
      if (result) *result = icon;
    }
    return true;
  }
  return false;
}

// The application object: one per process, run by the backend's entry point.
class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual BOOL InitInstance() { return FALSE; }
  CDialog* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
