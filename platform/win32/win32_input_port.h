// The input port of the Windows desktop: keybd_event, Sleep, FindWindowW,
// SetForegroundWindow, GetForegroundWindow, GetAsyncKeyState and the C clock.
#pragma once

#include "platform/input_port.h"

namespace loreth {

class Win32InputPort : public IInputPort {
 public:
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
};

}  // namespace loreth
