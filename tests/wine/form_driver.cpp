// Drives a running Loreth.exe from outside, the way a user would, through window
// messages only (FindWindowW, GetDlgItem, SendMessageW, PostMessageW), and checks
// what the form shows. Run under Wine in a virtual desktop:
//   form_driver.exe <Loreth.exe> <key_recorder.exe> <work folder>
// Prints one line per check ("ok - ..." / "not ok - ..." / "skip - ...") and the
// measured start-up time and memory; exits 1 when a check failed.
#include <windows.h>
// clang-format off
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/dialog_template.h"
#include "platform/recording/recording_port.h"
#include "playback/seek_planner.h"
#include "res/form_layout.h"
#include "res/resource.h"

namespace {

int g_failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s - %s\n", ok ? "ok" : "not ok", what.c_str());
  std::fflush(stdout);
  if (!ok) ++g_failures;
}

void Skip(const std::string& what) {
  std::printf("skip - %s\n", what.c_str());
  std::fflush(stdout);
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// The text of a window of another process: WM_GETTEXT (GetWindowTextW reads
// only top-level captions across processes).
std::wstring Text(HWND hwnd) {
  if (!hwnd) return {};
  LRESULT n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  LRESULT got = SendMessageW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(static_cast<size_t>(got));
  return buf;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[64] = {};
  GetClassNameW(hwnd, buf, 64);
  return buf;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

// Visible dialog windows (class #32770) of a process, other than `except`.
std::vector<HWND> DialogsOf(DWORD pid, HWND except) {
  struct Ctx {
    DWORD pid;
    HWND except;
    std::vector<HWND> found;
  } ctx{pid, except, {}};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == c->pid && w != c->except && IsWindowVisible(w) && ClassOf(w) == L"#32770")
          c->found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

// All texts shown by a dialog's children, joined by '|'.
std::string TextsOf(HWND dlg) {
  std::string s;
  for (HWND c : Descendants(dlg)) s += Utf8(Text(c)) + "|";
  return s;
}

// The one new dialog of the process (a message box, the About box, a file dialog).
HWND WaitForDialog(DWORD pid, HWND mainDlg, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        std::vector<HWND> d = DialogsOf(pid, mainDlg);
        if (d.empty()) return false;
        found = d.front();
        return true;
      },
      timeoutMs);
  return found;
}

// Presses a dialog's button by its id, as a click does, without waiting for the
// handler (which may open a nested loop of its own).
void PressButton(HWND dlg, int id) {
  HWND button = GetDlgItem(dlg, id);
  PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void Type(HWND dlg, int id, const wchar_t* text) {
  HWND edit = GetDlgItem(dlg, id);
  for (const wchar_t* p = text; *p; ++p) SendMessageW(edit, WM_CHAR, *p, 1);
}

void SetText(HWND dlg, int id, const wchar_t* text) {
  SendMessageW(GetDlgItem(dlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

std::wstring Title(HWND w) {
  wchar_t buf[256] = {};
  GetWindowTextW(w, buf, 256);
  return buf;
}

// ---- the version resource ----

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
  std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  wchar_t* value = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &len) || !value)
    return L"<missing>";
  return std::wstring(value, wcsnlen(value, len));
}

void CheckVersionResource(const std::wstring& exe) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
  std::vector<BYTE> info(size);
  bool ok = size > 0 && GetFileVersionInfoW(exe.c_str(), 0, size, info.data());
  Check(ok, "Loreth.exe has a version resource");
  if (!ok) return;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ok = VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed;
  Check(ok && fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0x00000003 &&
            fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0x00000003,
        "file and product version 1.0.0.3");
  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"InternalName", L"Loreth"},
      {L"OriginalFilename", L"Loreth.EXE"},
      {L"ProductName", L"Loreth Application"},
      {L"FileDescription", L"Loreth MFC Application"},
      {L"FileVersion", L"1, 0, 0, 3"},
      {L"ProductVersion", L"1, 0, 0, 3"},
  };
  for (const auto& [name, expected] : strings) {
    std::wstring got = VersionString(info, name);
    Check(got == expected, "version " + Utf8(name) + " = \"" + Utf8(got) + "\"");
  }
}

// ---- the form against its template ----

// The dialog base units of "MS Sans Serif" 8 on this desktop, computed the way
// the dialog manager does: the average width of the 52 letters, and the height.
SIZE BaseUnits() {
  HDC dc = GetDC(nullptr);
  int height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
  HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                           0, 0, L"MS Sans Serif");
  HGDIOBJ old = SelectObject(dc, font);
  const wchar_t* letters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE ext{};
  GetTextExtentPoint32W(dc, letters, 52, &ext);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return {(ext.cx / 26 + 1) / 2, tm.tmHeight};
}

std::wstring ClassFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit:
      return L"Edit";
    case ControlKind::Button:
      return L"Button";
    default:
      return L"Static";
  }
}

// The text each edit shows once the form has filled it from its members.
std::wstring InitialEditText(int id) {
  if (id == IDC_ROW) return L"1";
  if (id == IDC_TOTAL) return L"120";
  if (id == IDC_DELAY) return L"0";
  return L"";
}

void CheckControls(HWND dlg) {
  const DialogTemplate* t = FindDialogTemplate(IDD_SEGMENT_DIALOG);
  SIZE base = BaseUnits();
  std::printf("# dialog base units %ldx%ld\n", base.cx, base.cy);
  RECT client{};
  GetClientRect(dlg, &client);
  Check(client.right == MulDiv(t->cx, base.cx, 4) && client.bottom == MulDiv(t->cy, base.cy, 8),
        "client area " + std::to_string(client.right) + "x" + std::to_string(client.bottom) +
            " is 265x248 dialog units");

  // Styles the dialog manager may change on creation (it turns WS_BORDER of an
  // edit into a client edge) are compared loosely.
  const unsigned kLoose = WS_BORDER;
  std::vector<HWND> children;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  Check(children.size() == t->controls.size(),
        "the form has " + std::to_string(children.size()) + " controls");
  size_t n = std::min(children.size(), t->controls.size());
  int bad = 0;
  for (size_t i = 0; i < n; ++i) {
    const ControlTemplate& c = t->controls[i];
    HWND w = children[i];
    std::string where = "control " + std::to_string(i) + " (id " + std::to_string(c.id) + ")";
    std::vector<std::string> problems;
    int id = GetDlgCtrlID(w);
    if (static_cast<short>(id) != c.id) problems.push_back("id " + std::to_string(id));
    if (ClassOf(w) != ClassFor(c.kind)) problems.push_back("class " + Utf8(ClassOf(w)));
    std::wstring expectedText = c.kind == ControlKind::Edit   ? InitialEditText(c.id)
                                : c.kind == ControlKind::Icon ? L""
                                                              : Wide(c.text);
    if (c.kind != ControlKind::Icon && Text(w) != expectedText)
      problems.push_back("text \"" + Utf8(Text(w)) + "\"");
    unsigned style = static_cast<unsigned>(GetWindowLongW(w, GWL_STYLE));
    if ((style & ~kLoose) != (c.style & ~kLoose)) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "style %08X, table %08X", style, c.style);
      problems.push_back(buf);
    }
    unsigned ex = static_cast<unsigned>(GetWindowLongW(w, GWL_EXSTYLE));
    if ((ex & c.exStyle) != c.exStyle) problems.push_back("extended style");
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    // The dialog manager maps the position and the size each on their own.
    RECT expected{MulDiv(c.x, base.cx, 4), MulDiv(c.y, base.cy, 8), 0, 0};
    expected.right = expected.left + MulDiv(c.cx, base.cx, 4);
    expected.bottom = expected.top + MulDiv(c.cy, base.cy, 8);
    // An icon control takes the size of its icon.
    bool rectOk = c.kind == ControlKind::Icon ? r.left == expected.left && r.top == expected.top
                                              : std::memcmp(&r, &expected, sizeof r) == 0;
    if (!rectOk)
      problems.push_back("rect " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                         std::to_string(r.right) + "," + std::to_string(r.bottom));
    if (!problems.empty()) {
      ++bad;
      std::string all;
      for (const std::string& p : problems) all += " " + p + ";";
      std::printf("#   %s:%s\n", where.c_str(), all.c_str());
    }
  }
  Check(bad == 0, "every control has its id, class, text, style and rectangle, in order (" +
                      std::to_string(bad) + " differ)");
}

// ---- the run against the recorder ----

struct KeyEvent {
  bool down;
  unsigned vk;
  bool ctrl, shift;
  bool operator==(const KeyEvent&) const = default;
};

std::string Describe(const std::vector<KeyEvent>& events) {
  std::string s;
  for (const KeyEvent& e : events)
    s += (e.down ? "down " : "up ") + std::to_string(e.vk) + (e.ctrl ? "+C" : "") +
         (e.shift ? "+S" : "") + ", ";
  return s;
}

// The events a receiving window sees for the first seek of a run, from the
// planner itself: each with the Ctrl and Shift state after it.
std::vector<KeyEvent> ExpectedFirstSeek(long long start, float total, float delay) {
  loreth::RecordingPort port;
  loreth::SendSeekPlan(loreth::PlanSeek(start, std::nullopt, total, delay), port);
  std::vector<KeyEvent> out;
  bool ctrl = false, shift = false;
  for (const loreth::RecordedEvent& e : port.events) {
    if (e.kind != loreth::RecordedEvent::Down && e.kind != loreth::RecordedEvent::Up) continue;
    bool down = e.kind == loreth::RecordedEvent::Down;
    if (e.value == loreth::kVkControl) ctrl = down;
    if (e.value == loreth::kVkShift) shift = down;
    out.push_back({down, e.value, ctrl, shift});
  }
  return out;
}

std::vector<KeyEvent> ReadRecorderLog(const std::wstring& path) {
  std::vector<KeyEvent> out;
  FILE* f = _wfopen(path.c_str(), L"r");
  if (!f) return out;
  char what[8];
  unsigned vk;
  int ctrl, shift;
  while (std::fscanf(f, "%7s %u ctrl=%d shift=%d", what, &vk, &ctrl, &shift) == 4)
    out.push_back({std::strcmp(what, "down") == 0, vk, ctrl != 0, shift != 0});
  std::fclose(f);
  return out;
}

struct Child {
  PROCESS_INFORMATION pi{};
  bool running = false;
  bool Start(std::wstring commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    running = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi) != FALSE;
    return running;
  }
  bool Exited(DWORD timeoutMs) { return WaitForSingleObject(pi.hProcess, timeoutMs) == 0; }
  ~Child() {
    if (!running) return;
    if (!Exited(0)) TerminateProcess(pi.hProcess, 99);  // only a process this driver started
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

// A path as ctest passes it (a Unix path under Wine) in the form a file dialog
// accepts: Wine shows the Unix root as drive Z:.
std::wstring WindowsPath(std::wstring p) {
  if (!p.empty() && p[0] == L'/') p = L"Z:" + p;
  for (wchar_t& c : p)
    if (c == L'/') c = L'\\';
  return p;
}

HWND MainForm(DWORD pid) {
  for (HWND w : DialogsOf(pid, nullptr)) {
    std::wstring title = Title(w);
    if (title == L"Loreth" || title == L"Loreth *") return w;
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // For screenshots: the screen rectangle of the top-level window with a title,
  // as an X geometry (WxH+X+Y); Wine's virtual desktop starts at the screen's origin.
  if (argc == 3 && std::wcscmp(argv[1], L"--window-rect") == 0) {
    HWND w = nullptr;
    WaitFor(
        [&] {
          w = FindWindowW(nullptr, argv[2]);
          return w != nullptr && IsWindowVisible(w);
        },
        20000);
    RECT r{};
    if (!w || !GetWindowRect(w, &r)) return 1;
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
  }
  if (argc < 4) {
    std::fprintf(stderr, "usage: form_driver <Loreth.exe> <key_recorder.exe> <work folder>\n");
    return 2;
  }
  const std::wstring exe = WindowsPath(argv[1]), recorderExe = WindowsPath(argv[2]),
                     work = WindowsPath(argv[3]);

  CheckVersionResource(exe);

  // ---- start-up ----
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  Child app;
  if (!app.Start(L"\"" + exe + L"\"")) {
    Check(false, "Loreth.exe starts");
    return 1;
  }
  HWND dlg = nullptr;
  WaitFor(
      [&] {
        dlg = MainForm(app.pi.dwProcessId);
        return dlg != nullptr;
      },
      20000);
  QueryPerformanceCounter(&t1);
  Check(dlg != nullptr, "the form appears");
  if (!dlg) return 1;
  std::printf(
      "# start-up until the form is shown: %.0f ms\n",
      1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
  Sleep(300);
  PROCESS_MEMORY_COUNTERS_EX mem{};
  mem.cb = sizeof mem;
  if (GetProcessMemoryInfo(app.pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem),
                           sizeof mem))
    std::printf("# memory: working set %zu KB, peak %zu KB, private %zu KB\n",
                mem.WorkingSetSize / 1024, mem.PeakWorkingSetSize / 1024, mem.PrivateUsage / 1024);

  Check(Title(dlg) == L"Loreth", "title \"" + Utf8(Title(dlg)) + "\"");
  CheckControls(dlg);
  Check(SendMessageW(dlg, DM_GETDEFID, 0, 0) == MAKELRESULT(IDC_SET, DC_HASDEFID),
        "Set is the default button");

  // ---- a typed digit marks the sheet modified ----
  const int cellStartMin = layout::kRows[0].cell[layout::kStartMin];
  Type(dlg, cellStartMin, L"5");
  Check(WaitFor([&] { return Title(dlg) == L"Loreth *"; }, 2000),
        "a typed digit makes the title \"" + Utf8(Title(dlg)) + "\"");
  Type(dlg, layout::kRows[0].cell[layout::kEndMin], L"x");
  Check(Text(GetDlgItem(dlg, layout::kRows[0].cell[layout::kEndMin])).empty(),
        "a digits-only cell refuses a letter");
  SetText(dlg, cellStartMin, L"");
  Type(dlg, cellStartMin, L"1234");
  Check(Text(GetDlgItem(dlg, cellStartMin)) == L"123",
        "typing stops at the cell's limit of 3: \"" + Utf8(Text(GetDlgItem(dlg, cellStartMin))) +
            "\"");
  SetText(dlg, cellStartMin, L"5");

  // ---- the close prompt, answered No, then the form is still there ----
  PostMessageW(dlg, WM_CLOSE, 0, 0);
  HWND box = WaitForDialog(app.pi.dwProcessId, dlg, 3000);
  Check(box != nullptr && Title(box) == L"Loreth", "the close box asks, captioned \"Loreth\"");
  if (box) {
    Check(TextsOf(box).find("Quit without saving?") != std::string::npos,
          "the prompt reads \"Quit without saving?\": " + TextsOf(box));
    Check(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO), "the prompt has Yes and No");
    PressButton(box, IDNO);
    Check(WaitFor([&] { return !IsWindow(box); }, 3000), "No closes the prompt");
    Sleep(200);
    Check(IsWindow(dlg) && !app.Exited(0) && Title(dlg) == L"Loreth *" &&
              Text(GetDlgItem(dlg, cellStartMin)) == L"5",
          "after No the form stays open with the digit in place");
  }

  // ---- an exchange message ----
  SetText(dlg, IDC_TOTAL, L"x");
  PressButton(dlg, IDC_SET);
  box = WaitForDialog(app.pi.dwProcessId, dlg, 3000);
  Check(box != nullptr && Title(box) == L"Loreth" &&
            TextsOf(box).find("Please enter a number.") != std::string::npos,
        "Set with total \"x\" says \"Please enter a number.\"");
  if (box) {
    PressButton(box, IDOK);
    WaitFor([&] { return !IsWindow(box); }, 3000);
  }
  SetText(dlg, IDC_TOTAL, L"120");
  Check(Text(GetDlgItem(dlg, IDC_SET)) == L"Set &S", "a failed check starts no run");

  // ---- the About box from the system menu ----
  PostMessageW(dlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  box = WaitForDialog(app.pi.dwProcessId, dlg, 3000);
  Check(box != nullptr && Title(box) == L"About Loreth", "the About box opens");
  if (box) {
    Check(TextsOf(box).find("Loreth Version 1.0.0.3") != std::string::npos,
          "the About box reads \"Loreth Version 1.0.0.3\"");
    PressButton(box, IDOK);
    Check(WaitFor([&] { return !IsWindow(box); }, 3000), "OK closes the About box");
  }

  // ---- Enter in a field presses Set; Esc asks before unsaved edits are lost ----
  SetText(dlg, IDC_DELAY, L"x");
  PostMessageW(GetDlgItem(dlg, IDC_DELAY), WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(GetDlgItem(dlg, IDC_DELAY), WM_KEYUP, VK_RETURN, 0xC0000001);
  box = WaitForDialog(app.pi.dwProcessId, dlg, 3000);
  Check(box != nullptr && TextsOf(box).find("Please enter a number.") != std::string::npos,
        "Enter in the delay field presses Set, which reads the form");
  if (box) {
    PressButton(box, IDOK);
    WaitFor([&] { return !IsWindow(box); }, 3000);
  }
  SetText(dlg, IDC_DELAY, L"0");
  PostMessageW(GetDlgItem(dlg, IDC_TOTAL), WM_KEYDOWN, VK_ESCAPE, 1);
  PostMessageW(GetDlgItem(dlg, IDC_TOTAL), WM_KEYUP, VK_ESCAPE, 0xC0000001);
  box = WaitForDialog(app.pi.dwProcessId, dlg, 3000);
  Check(box != nullptr && TextsOf(box).find("Quit without saving?") != std::string::npos,
        "Esc with unsaved edits asks \"Quit without saving?\"");
  if (box) {
    PressButton(box, IDNO);
    WaitFor([&] { return !IsWindow(box); }, 3000);
  }
  Sleep(200);
  Check(IsWindow(dlg) && !app.Exited(0), "after No to Esc's prompt the form stays open");

  // ---- Save through the save dialog ----
  const std::wstring savePath = work + L"\\driver-save.txt";
  DeleteFileW(savePath.c_str());
  PressButton(dlg, IDC_SAVE);
  box = WaitForDialog(app.pi.dwProcessId, dlg, 3000);
  if (!box) {
    Skip("Save opens no dialog");
  } else {
    // Wine's file name box is an edit inside a ComboBoxEx32 (id 0x47c); Windows'
    // is the same combo or a plain edit (id 0x480).
    HWND nameEdit = nullptr;
    for (int id : {0x47c, 0x480}) {
      HWND c = GetDlgItem(box, id);
      if (!c) continue;
      if (ClassOf(c) == L"Edit") nameEdit = c;
      for (HWND d : Descendants(c))
        if (!nameEdit && ClassOf(d) == L"Edit") nameEdit = d;
      if (nameEdit) break;
    }
    Check(nameEdit != nullptr, "the save dialog has a file name box");
    if (nameEdit) {
      SendMessageW(nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(savePath.c_str()));
      PressButton(box, IDOK);
    }
    bool closed = WaitFor([&] { return !IsWindow(box); }, 5000);
    Check(closed, "the save dialog closes");
    if (!closed) {
      for (HWND d : DialogsOf(app.pi.dwProcessId, dlg))
        std::printf("#   open: \"%s\": %s\n", Utf8(Title(d)).c_str(), TextsOf(d).c_str());
    }
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    bool saved = WaitFor(
        [&] {
          return GetFileAttributesExW(savePath.c_str(), GetFileExInfoStandard, &fa) &&
                 fa.nFileSizeLow == 408;
        },
        3000);
    Check(saved, "Save writes the 408-byte file (" + std::to_string(fa.nFileSizeLow) + " bytes)");
    // Little-endian floats first: the total 120 and the delay 0.
    std::ifstream in(savePath.c_str(), std::ios::binary);
    unsigned char head[8] = {};
    in.read(reinterpret_cast<char*>(head), 8);
    const unsigned char expectedHead[8] = {0x00, 0x00, 0xF0, 0x42, 0, 0, 0, 0};
    Check(saved && std::memcmp(head, expectedHead, 8) == 0,
          "the file begins with the total 120.0 and the delay 0.0");
    Check(WaitFor([&] { return Title(dlg) == L"Loreth"; }, 2000),
          "after Save the title is \"" + Utf8(Title(dlg)) + "\"");
    if (!closed) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  }

  // ---- a run against the recorder ----
  const std::wstring playerTitle = L"Loreth recorder \u00e9\u4e00";  // titles of any language
  const std::wstring logPath = work + L"\\recorder.log";
  DeleteFileW(logPath.c_str());
  Child recorder;
  Check(recorder.Start(L"\"" + recorderExe + L"\" \"" + playerTitle + L"\" \"" + logPath + L"\""),
        "the recorder starts");
  HWND player = nullptr;
  WaitFor(
      [&] {
        player = FindWindowW(nullptr, playerTitle.c_str());
        return player != nullptr;
      },
      10000);
  Check(player != nullptr, "the recorder window appears");
  // Row 1: 0:30 to 1:00; total 120, delay 0.
  SetText(dlg, layout::kRows[0].cell[layout::kStartMin], L"0");
  SetText(dlg, layout::kRows[0].cell[layout::kStartSec], L"30");
  SetText(dlg, layout::kRows[0].cell[layout::kEndMin], L"1");
  SetText(dlg, layout::kRows[0].cell[layout::kEndSec], L"0");
  SetText(dlg, IDC_TOTAL, L"120");
  SetText(dlg, IDC_DELAY, L"0");
  SetForegroundWindow(dlg);
  Sleep(200);
  PressButton(dlg, IDC_SET);
  Check(WaitFor([&] { return Text(GetDlgItem(dlg, IDC_SET)) != L"Set &S"; }, 2000),
        "Set starts the countdown: \"" + Utf8(Text(GetDlgItem(dlg, IDC_SET))) + "\"");
  Sleep(300);
  if (player) SetForegroundWindow(player);
  const std::vector<KeyEvent> expected = ExpectedFirstSeek(30, 120.0f, 0.0f);
  std::vector<KeyEvent> got;
  WaitFor(
      [&] {
        got = ReadRecorderLog(logPath);
        return got.size() >= expected.size();
      },
      9000);
  Sleep(300);  // anything more than expected would arrive now
  got = ReadRecorderLog(logPath);
  Check(Text(GetDlgItem(dlg, IDC_SET)) == L"Quit", "after the countdown Set reads \"Quit\"");
  Check(got == expected, "the recorder got the planner's first seek: " + Describe(got) +
                             " expected " + Describe(expected));
  PressButton(dlg, IDC_SET);
  Check(WaitFor([&] { return Text(GetDlgItem(dlg, IDC_SET)) == L"Set &S"; }, 2000),
        "Quit ends the run");
  if (player) PostMessageW(player, WM_CLOSE, 0, 0);

  // ---- closing with unsaved edits: Yes ends the application ----
  SetForegroundWindow(dlg);
  Type(dlg, layout::kRows[1].cell[layout::kLoop], L"2");
  WaitFor([&] { return Title(dlg) == L"Loreth *"; }, 2000);
  PostMessageW(dlg, WM_CLOSE, 0, 0);
  box = WaitForDialog(app.pi.dwProcessId, dlg, 3000);
  Check(box != nullptr, "the close box asks again after an edit");
  if (box) PressButton(box, IDYES);
  Check(app.Exited(5000), "Yes ends the application");
  DWORD code = 1;
  GetExitCodeProcess(app.pi.hProcess, &code);
  Check(code == 0, "exit code " + std::to_string(code));

  std::printf("# %d failed\n", g_failures);
  return g_failures == 0 ? 0 : 1;
}
