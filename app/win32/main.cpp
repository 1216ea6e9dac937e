// The Windows entry point: the Win32 backend, then the application object.
// The backend's header first: it includes <windows.h> and undoes its macros
// that collide with the framework's method names.
#include "framework/win32/win32_backend.h"
// clang-format off
#include <commctrl.h>
// clang-format on

#include "app/segment_app.h"

CSegmentApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The manifest asks for common controls 6; loading them gives the dialog's
  // buttons and fields the desktop's visual style.
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  Win32Backend backend(instance);
  theApp.InitInstance();
  return 0;
}
