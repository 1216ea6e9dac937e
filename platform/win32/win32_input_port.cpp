#include "platform/win32/win32_input_port.h"

#include <windows.h>

#include <ctime>
#include <string>

namespace loreth {

namespace {

// How long BringToFront waits for the window to come to the front, and how
// often it looks.
constexpr DWORD kActivateTimeoutMs = 500;
constexpr DWORD kActivatePollMs = 2;

HWND ToHwnd(WindowId w) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(w));
}
WindowId ToId(HWND h) {
  return static_cast<WindowId>(reinterpret_cast<uintptr_t>(h));
}

bool WaitForeground(HWND hwnd, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (GetForegroundWindow() == hwnd) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(kActivatePollMs);
  }
}

}  // namespace

// Scan code 0 and no extended-key flag: the system fills in the scan code.
void Win32InputPort::KeyDown(unsigned vk) {
  keybd_event(static_cast<BYTE>(vk), 0, 0, 0);
}

void Win32InputPort::KeyUp(unsigned vk) {
  keybd_event(static_cast<BYTE>(vk), 0, KEYEVENTF_KEYUP, 0);
}

void Win32InputPort::Sleep(unsigned ms) {
  ::Sleep(ms);
}

WindowId Win32InputPort::FindWindowByTitle(const CString& title) {
  // FindWindowW with an empty title would match a window without one.
  if (title.IsEmpty()) return 0;
  return ToId(FindWindowW(nullptr, reinterpret_cast<const wchar_t*>(title.c_str())));
}

bool Win32InputPort::BringToFront(WindowId w) {
  HWND hwnd = ToHwnd(w);
  if (!hwnd || !IsWindow(hwnd)) return false;
  if (GetForegroundWindow() == hwnd) return true;
  if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
  SetForegroundWindow(hwnd);
  if (WaitForeground(hwnd, kActivateTimeoutMs / 2)) return true;
  // The system refuses the foreground to a process that is not in front itself;
  // sharing the input state with the thread in front lifts that.
  DWORD self = GetCurrentThreadId();
  DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  bool attached = front != 0 && front != self && AttachThreadInput(self, front, TRUE);
  SetForegroundWindow(hwnd);
  if (attached) AttachThreadInput(self, front, FALSE);
  return WaitForeground(hwnd, kActivateTimeoutMs / 2);
}

WindowId Win32InputPort::ForegroundWindow() {
  return ToId(GetForegroundWindow());
}

CString Win32InputPort::WindowTitle(WindowId w) {
  HWND hwnd = ToHwnd(w);
  if (!hwnd) return CString();
  int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return CString();
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  if (got <= 0) return CString();
  return CString(
      std::u16string(reinterpret_cast<const char16_t*>(buf.data()), static_cast<size_t>(got)));
}

bool Win32InputPort::IsOwnWindow(WindowId w) {
  HWND hwnd = ToHwnd(w);
  if (!hwnd) return false;
  DWORD pid = 0;
  return GetWindowThreadProcessId(hwnd, &pid) != 0 && pid == GetCurrentProcessId();
}

// The high bit is the key held now; the low bit (pressed since the last query)
// is not a held key.
bool Win32InputPort::IsCtrlHeld() {
  return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

CTime Win32InputPort::Now() {
  return CTime(static_cast<long long>(std::time(nullptr)));
}

std::unique_ptr<IInputPort> CreateDesktopInputPort() {
  return std::make_unique<Win32InputPort>();
}

}  // namespace loreth
