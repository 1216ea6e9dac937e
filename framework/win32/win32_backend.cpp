#include "framework/win32/win32_backend.h"

#include <commdlg.h>

#include <string>
#include <vector>

namespace {

Win32Backend* g_win32 = nullptr;

// The Open and Save dialogs hand back at most this many characters of path.
constexpr DWORD kPathChars = 32768;

CString WindowText(HWND hwnd) {
  if (!hwnd) return CString();
  int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return CString();
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  return FromWide(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

// The dialog's window procedure: the messages of the dialog code become framework
// Messages; what the dialog leaves to the default goes on to the dialog manager.
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    auto* host = reinterpret_cast<Win32Host*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    host->SetWindow(hwnd);
    host->Dialog().Attach(host);
    return host->Dialog().OnInitDialog();
  }
  auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!host) return FALSE;
  CDialog& dlg = host->Dialog();
  Message m;
  switch (msg) {
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      UINT code = HIWORD(wParam);
      if (code == EN_CHANGE) {
        m = CommandMessage(id, Notify::Change);
      } else if (code == BN_CLICKED) {
        // Enter and Esc arrive as IDOK / IDCANCEL with no control behind them:
        // commands, not clicks.
        m = CommandMessage(id, lParam != 0 ? Notify::Clicked : Notify::None);
      } else {
        return FALSE;
      }
      break;
    }
    case WM_TIMER:
      m = SimpleMessage(Msg::Timer, wParam);
      break;
    case WM_LBUTTONDOWN:
      m = SimpleMessage(Msg::LButtonDown);
      m.flags = static_cast<UINT>(wParam);
      // Signed: a point left of or above the client area is negative.
      m.point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      break;
    case WM_SYSCOMMAND:
      m = SimpleMessage(Msg::SysCommand, wParam);
      m.lParam = lParam;
      break;
    case WM_PAINT:
      m = SimpleMessage(Msg::Paint);
      break;
    case WM_QUERYDRAGICON: {
      intptr_t icon = 0;
      if (!dlg.HandleMessage(SimpleMessage(Msg::QueryDragIcon), &icon) || !g_win32) return FALSE;
      // One of the few messages whose result a dialog procedure returns directly.
      return reinterpret_cast<INT_PTR>(g_win32->Icon(static_cast<IconHandle>(icon), true));
    }
    case WM_CLOSE:
      m = SimpleMessage(Msg::Close);
      break;
    case WM_NCDESTROY:
      dlg.Attach(nullptr);
      SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
  return dlg.HandleMessage(m) ? TRUE : FALSE;
}

}  // namespace

// ---- window host ----

void Win32Host::SetTitle(const CString& text) {
  SetWindowTextW(m_hwnd, WideText(text));
}

CString Win32Host::GetItemText(int id) {
  return WindowText(GetDlgItem(m_hwnd, id));
}

// WM_SETTEXT is not cut to an edit's input limit, and raises EN_CHANGE, which the
// dialog ignores while its data exchange runs.
void Win32Host::SetItemText(int id, const CString& text) {
  SetDlgItemTextW(m_hwnd, id, WideText(text));
}

void Win32Host::LimitText(int id, int maxChars) {
  SendDlgItemMessageW(m_hwnd, id, EM_LIMITTEXT, static_cast<WPARAM>(maxChars < 0 ? 0 : maxChars),
                      0);
}

void Win32Host::FocusAndSelectAll(int id) {
  HWND ctrl = GetDlgItem(m_hwnd, id);
  if (!ctrl) return;
  // WM_NEXTDLGCTL moves the focus the way the dialog manager does (default
  // button included); an edit then gets its whole text selected.
  SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ctrl), TRUE);
  SendMessageW(ctrl, EM_SETSEL, 0, -1);
}

int Win32Host::MessageBox(const CString& text, const CString& caption, UINT type) {
  return MessageBoxW(m_hwnd, WideText(text), WideText(caption), type);
}

void Win32Host::SetTimer(uintptr_t id, UINT elapseMs) {
  ::SetTimer(m_hwnd, id, elapseMs, nullptr);
}

void Win32Host::KillTimer(uintptr_t id) {
  ::KillTimer(m_hwnd, id);
}

bool Win32Host::GetItemScreenRect(int id, CRect& rect) {
  HWND ctrl = GetDlgItem(m_hwnd, id);
  RECT r;
  if (!ctrl || !GetWindowRect(ctrl, &r)) return false;
  rect = {r.left, r.top, r.right, r.bottom};
  return true;
}

CPoint Win32Host::ClientToScreen(CPoint p) {
  POINT pt{p.x, p.y};
  ::ClientToScreen(m_hwnd, &pt);
  return {pt.x, pt.y};
}

void Win32Host::EndDialog(int result) {
  ::EndDialog(m_hwnd, result);
}

bool Win32Host::IsMinimized() {
  return IsIconic(m_hwnd) != FALSE;
}

void Win32Host::DrawIconCentered(IconHandle icon) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hwnd, &ps);
  SendMessageW(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int cxIcon = GetSystemMetrics(SM_CXICON);
  int cyIcon = GetSystemMetrics(SM_CYICON);
  RECT rc;
  GetClientRect(m_hwnd, &rc);
  int x = (rc.right - rc.left - cxIcon + 1) / 2;
  int y = (rc.bottom - rc.top - cyIcon + 1) / 2;
  if (HICON h = g_win32 ? g_win32->Icon(icon, true) : nullptr) DrawIcon(dc, x, y, h);
  EndPaint(m_hwnd, &ps);
}

void Win32Host::SetIcon(IconHandle icon, bool big) {
  HICON h = g_win32 ? g_win32->Icon(icon, big) : nullptr;
  SendMessageW(m_hwnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(h));
}

bool Win32Host::HasSystemMenu() {
  return GetSystemMenu(m_hwnd, FALSE) != nullptr;
}

void Win32Host::AppendSystemMenuSeparator() {
  if (HMENU menu = GetSystemMenu(m_hwnd, FALSE)) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
}

void Win32Host::AppendSystemMenuItem(UINT command, const CString& text) {
  if (HMENU menu = GetSystemMenu(m_hwnd, FALSE))
    AppendMenuW(menu, MF_STRING, command, WideText(text));
}

bool Win32Host::RunFileDialog(FileDialogRequest& request) {
  // The filter is pairs of description and pattern, each ending in a NUL, and
  // one more NUL at the end.
  std::u16string filter = request.filterDescription.Str();
  filter.push_back(u'\0');
  filter += request.filterPattern.Str();
  filter.push_back(u'\0');
  filter.push_back(u'\0');

  std::vector<wchar_t> file(kPathChars, L'\0');
  const std::u16string& proposed = request.proposedName.Str();
  for (size_t i = 0; i < proposed.size() && i + 1 < file.size(); ++i)
    file[i] = static_cast<wchar_t>(proposed[i]);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = m_hwnd;
  ofn.lpstrFilter = reinterpret_cast<const wchar_t*>(filter.c_str());
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = kPathChars;
  ofn.lpstrDefExt =
      request.defaultExtension.IsEmpty() ? nullptr : WideText(request.defaultExtension);
  // Explorer-style and resizable, as the framework makes them; the open dialog has
  // no read-only box. OFN_FILEMUSTEXIST implies OFN_PATHMUSTEXIST.
  ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING;
  if (request.open) ofn.Flags |= OFN_HIDEREADONLY;
  if (request.fileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (request.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;

  BOOL ok = request.open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
  if (!ok) return false;
  request.pathName = FromWide(file.data(), wcsnlen(file.data(), file.size()));
  return true;
}

// ---- backend ----

Win32Backend::Win32Backend(HINSTANCE instance) : m_instance(instance) {
  g_win32 = this;
  AfxSetBackend(this);
}

Win32Backend::~Win32Backend() {
  if (AfxGetBackend() == this) AfxSetBackend(nullptr);
  if (g_win32 == this) g_win32 = nullptr;
}

Win32Backend* Win32BackendInstance() {
  return g_win32;
}

int Win32Backend::RunModal(CDialog& dlg, CDialog* owner) {
  HWND ownerWnd =
      owner ? reinterpret_cast<HWND>(static_cast<uintptr_t>(owner->NativeWindow())) : nullptr;
  Win32Host host(dlg);
  INT_PTR result = DialogBoxParamW(m_instance, MAKEINTRESOURCEW(dlg.GetTemplateId()), ownerWnd,
                                   DialogProc, reinterpret_cast<LPARAM>(&host));
  dlg.Attach(nullptr);
  return result == -1 ? IDCANCEL : static_cast<int>(result);
}

CString Win32Backend::ApplicationName() {
  std::vector<wchar_t> path(kPathChars, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), kPathChars);
  std::wstring name(path.data(), n < kPathChars ? n : 0);
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return FromWide(name.data(), name.size());
}

CString Win32Backend::LoadStringResource(UINT id) {
  // With a zero buffer size LoadStringW hands back a pointer into the resource.
  const wchar_t* text = nullptr;
  int n = LoadStringW(m_instance, id, reinterpret_cast<wchar_t*>(&text), 0);
  if (n <= 0 || !text) return CString();
  return FromWide(text, static_cast<size_t>(n));
}

int Win32Backend::MessageBox(const CString& text, const CString& caption, UINT type) {
  return MessageBoxW(nullptr, WideText(text), WideText(caption), type);
}

HICON Win32Backend::Icon(IconHandle icon, bool big) const {
  if (icon == 0) return nullptr;
  if (big) return LoadIconW(m_instance, MAKEINTRESOURCEW(icon));
  return static_cast<HICON>(LoadImageW(m_instance, MAKEINTRESOURCEW(icon), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       LR_SHARED));
}
