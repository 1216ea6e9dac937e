// The input port of an X11 desktop: keys through XTest, windows through the
// window manager's EWMH properties (_NET_CLIENT_LIST, _NET_WM_NAME,
// _NET_ACTIVE_WINDOW, _NET_WM_PID). It holds a Display connection of its own,
// so it works beside any toolkit; without a display every call does nothing.
#pragma once

#include <string>

#include "platform/input_port.h"

// Xlib's types, without pulling its macros (None, Bool, Status, ...) into every
// file that includes this header.
struct _XDisplay;

namespace loreth {

class X11InputPort : public IInputPort {
 public:
  X11InputPort();
  ~X11InputPort() override;
  X11InputPort(const X11InputPort&) = delete;
  X11InputPort& operator=(const X11InputPort&) = delete;

  // False when no display could be opened: every call is then a no-op.
  bool IsConnected() const { return m_dpy != nullptr; }

  void KeyDown(unsigned vk) override;
  void KeyUp(unsigned vk) override;
  void Sleep(unsigned ms) override;

  WindowId FindWindowByTitle(const CString& title) override;
  bool BringToFront(WindowId w) override;
  WindowId ForegroundWindow() override;
  CString WindowTitle(WindowId w) override;
  bool IsOwnWindow(WindowId w) override;

  bool IsCtrlHeld() override;
  CTime Now() override;

 private:
  void SendKey(unsigned vk, bool down);
  unsigned KeycodeOf(unsigned vk) const;
  // The title as the window manager shows it, in UTF-8; empty when unknown.
  std::string TitleUtf8(unsigned long w);
  bool WmSupports(unsigned long atom);
  // The top-level window that has the input focus, or 0.
  unsigned long FocusWindow();
  // True when `w` has the focus itself or through one of its descendants.
  bool FocusIsIn(unsigned long w);

  _XDisplay* m_dpy = nullptr;
  unsigned long m_root = 0;
  // Keycodes in the keymap of the display (0 when a key is not in it).
  unsigned m_kcControlL = 0, m_kcControlR = 0, m_kcShiftL = 0, m_kcLeft = 0, m_kcRight = 0;
  // Atoms looked up once.
  unsigned long m_aClientList = 0, m_aActiveWindow = 0, m_aSupported = 0, m_aWmName = 0,
                m_aUtf8String = 0, m_aWmPid = 0, m_aWmCheck = 0;
  bool m_bXTest = false;
};

}  // namespace loreth
