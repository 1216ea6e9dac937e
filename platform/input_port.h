// The desktop input port: everything the playback and the row commands need from
// the desktop (synthesized keys, pauses, finding and raising the player window,
// the title of the window in front, the Ctrl key, the wall clock). One
// implementation per desktop (platform/x11, platform/win32) and a recording fake
// for tests (platform/recording). All calls are made on the dialog's thread.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/afx.h"

namespace loreth {

// Virtual-key codes, the Windows values.
enum : unsigned {
  kVkShift = 16,
  kVkControl = 17,
  kVkLeft = 37,
  kVkRight = 39,
};

// An opaque top-level window handle; 0 means "no window".
using WindowId = std::uint64_t;

class IInputPort {
 public:
  virtual ~IInputPort() = default;

  // One synthesized key event to the window in front, in the order called.
  virtual void KeyDown(unsigned vk) = 0;
  virtual void KeyUp(unsigned vk) = 0;
  // Blocks the calling thread for ms milliseconds; 0 only yields.
  virtual void Sleep(unsigned ms) = 0;

  // A top-level window whose title is exactly `title`, or 0. An empty title
  // matches no window.
  virtual WindowId FindWindowByTitle(const CString& title) = 0;
  // Asks the desktop to bring `w` to the front with the keyboard focus and
  // waits a short, bounded time for it; true once `w` is the window in front.
  virtual bool BringToFront(WindowId w) = 0;
  // The window in front, or 0 when there is none right now.
  virtual WindowId ForegroundWindow() = 0;
  // The whole title of `w` ("" for 0 or a window without a title).
  virtual CString WindowTitle(WindowId w) = 0;
  // True when `w` belongs to this process (the form, a message box, the About box).
  virtual bool IsOwnWindow(WindowId w) = 0;

  // True only while a Ctrl key is held down right now.
  virtual bool IsCtrlHeld() = 0;
  // The wall clock in whole seconds.
  virtual CTime Now() = 0;
};

// The port of the desktop this program was built for (X11 or Win32).
std::unique_ptr<IInputPort> CreateDesktopInputPort();

}  // namespace loreth
