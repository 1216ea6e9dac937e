// A stand-in for a media player: a top-level window with the given title that
// logs every key it receives, one line per event, flushed at once:
//   down <vk> ctrl=<0|1> shift=<0|1>     up <vk> ctrl=<0|1> shift=<0|1>
// The modifier state is GetKeyState's, the state when the event was queued
// (GetAsyncKeyState would show the state now).
//   key_recorder.exe <title> <log file>
#include <windows.h>

#include <cstdio>

namespace {

FILE* g_log = nullptr;

void Log(const char* what, WPARAM vk) {
  if (!g_log) return;
  int ctrl = (GetKeyState(VK_CONTROL) & 0x8000) ? 1 : 0;
  int shift = (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0;
  std::fprintf(g_log, "%s %u ctrl=%d shift=%d\n", what, static_cast<unsigned>(vk), ctrl, shift);
  std::fflush(g_log);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      Log("down", wParam);
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      Log("up", wParam);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: key_recorder <title> <log file>\n");
    return 2;
  }
  g_log = _wfopen(argv[2], L"w");
  if (!g_log) return 3;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"LorethKeyRecorder";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500,
                              300, 320, 200, nullptr, nullptr, inst, nullptr);
  if (!hwnd) return 4;
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  std::fclose(g_log);
  return 0;
}
