#include "framework/dialog.h"

#include <cmath>
#include <new>

#include "framework/ddx_text.h"

namespace {

IUiBackend* g_backend = nullptr;
CWinApp* g_app = nullptr;

// Thrown by CDataExchange::Fail; caught by the exchange that started it.
struct ExchangeFailed {};

const char* const kMsgMaxChars = "Please enter no more than %1 characters.";
const char* const kMsgInt = "Please enter an integer.";
const char* const kMsgIntRange = "Please enter an integer between %1 and %2.";
const char* const kMsgNumber = "Please enter a number.";
const char* const kMsgNumberRange = "Please enter a number between %1 and %2.";

}  // namespace

IUiBackend* AfxGetBackend() {
  return g_backend;
}
void AfxSetBackend(IUiBackend* backend) {
  g_backend = backend;
}

CWinApp::CWinApp() {
  g_app = this;
}
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}
CWinApp* AfxGetApp() {
  return g_app;
}

int AfxMessageBox(const CString& text, UINT type) {
  if ((type & 0xF0u) == 0 && ((type & 0xFu) == MB_OK || (type & 0xFu) == MB_YESNO))
    type |= MB_ICONEXCLAMATION;
  IUiBackend* backend = AfxGetBackend();
  if (!backend) return IDCANCEL;
  CString caption = backend->ApplicationName();
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd && app->m_pMainWnd->Host())
    return app->m_pMainWnd->Host()->MessageBox(text, caption, type);
  return backend->MessageBox(text, caption, type);
}

// ---- data exchange ----

void CDataExchange::Fail(const CString& message) {
  m_pDlgWnd->ReportFailure(m_idLastControl, message);
  throw ExchangeFailed{};
}

void CDialog::ReportFailure(int id, const CString& message) {
  if (m_bRepeatedExchange) {
    if (id == m_idLastRepeatedFailure && message == m_strLastRepeatedFailure) return;
    m_idLastRepeatedFailure = id;
    m_strLastRepeatedFailure = message;
  }
  AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
  if (m_pHost) m_pHost->FocusAndSelectAll(id);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  pDX->PrepareEditCtrl(id);
  if (pDX->m_bSaveAndValidate) {
    value = pDX->m_pDlgWnd->GetItemText(id);
  } else {
    pDX->m_pDlgWnd->SetItemText(id, value);
  }
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
  pDX->PrepareEditCtrl(id);
  CDialog* dlg = pDX->m_pDlgWnd;
  if (pDX->m_bSaveAndValidate) {
    std::optional<int> v = ParseDialogInt(dlg->GetItemText(id));
    if (!v) pDX->Fail(kMsgInt);
    value = *v;
  } else {
    dlg->SetItemText(id, IntToString(value));
  }
}

void DDX_Text(CDataExchange* pDX, int id, float& value) {
  pDX->PrepareEditCtrl(id);
  CDialog* dlg = pDX->m_pDlgWnd;
  if (pDX->m_bSaveAndValidate) {
    std::optional<double> v = ParseDialogDouble(dlg->GetItemText(id));
    if (!v) pDX->Fail(kMsgNumber);
    value = static_cast<float>(*v);
  } else {
    dlg->SetItemText(id, FormatDialogFloat(value));
  }
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
  if (pDX->m_bSaveAndValidate) {
    if (value.GetLength() > nChars)
      pDX->Fail(CString(kMsgMaxChars).FormatMessageArgs(IntToString(nChars)));
  } else if (IWindowHost* host = pDX->m_pDlgWnd->Host()) {
    host->LimitText(pDX->m_idLastControl, nChars);
  }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
  if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
    pDX->Fail(CString(kMsgIntRange).FormatMessageArgs(IntToString(minVal), IntToString(maxVal)));
}

void DDV_MinMaxFloat(CDataExchange* pDX, float value, float minVal, float maxVal) {
  // NaN passes no check (the reader never produces it, but a file can).
  if (pDX->m_bSaveAndValidate && !(value >= minVal && value <= maxVal))
    pDX->Fail(CString(kMsgNumberRange)
                  .FormatMessageArgs(FormatDialogFloat(minVal), FormatDialogFloat(maxVal)));
}

// ---- dialog ----

// A dialog without a parent is modal to the main window (when that is another
// dialog with a window), as message boxes and file dialogs are.
int CDialog::DoModal() {
  IUiBackend* backend = AfxGetBackend();
  if (!backend) return IDCANCEL;
  CDialog* owner = m_pParentWnd;
  if (!owner && AfxGetApp() && AfxGetApp()->m_pMainWnd != this) owner = AfxGetApp()->m_pMainWnd;
  if (owner && !owner->Host()) owner = nullptr;
  return backend->RunModal(*this, owner);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  return RunExchange(bSaveAndValidate, false);
}

BOOL CDialog::UpdateDataRepeated() {
  return RunExchange(TRUE, true);
}

BOOL CDialog::RunExchange(BOOL bSave, bool repeated) {
  if (m_bInExchange || !m_pHost) return FALSE;
  m_bInExchange = true;  // the fields' notifications are ignored meanwhile
  m_bRepeatedExchange = repeated;
  BOOL ok = FALSE;
  try {
    CDataExchange dx(this, bSave);
    DoDataExchange(&dx);
    ok = TRUE;
  } catch (const ExchangeFailed&) {
  } catch (const std::bad_alloc&) {
    AfxMessageBox("Out of memory.", MB_OK | MB_ICONEXCLAMATION);
  } catch (...) {
    AfxMessageBox("Internal application error.", MB_OK | MB_ICONEXCLAMATION);
  }
  if (ok && repeated) {
    m_idLastRepeatedFailure = 0;
    m_strLastRepeatedFailure = CString();
  }
  m_bRepeatedExchange = false;
  m_bInExchange = false;
  return ok;
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::HandleMessage(const Message& m, intptr_t* result) {
  // Control notifications are locked out while the exchange writes or reads.
  if (m.msg == Msg::Command && m.code != Notify::None && m_bInExchange) return true;
  m_bDefault = false;
  bool handled = OnWndMsg(m, result);
  if (!handled) {
    handled = true;
    switch (m.msg) {
      case Msg::Command:
        if (m.id == IDOK)
          OnOK();
        else if (m.id == IDCANCEL)
          OnCancel();
        else
          handled = false;
        break;
      case Msg::Close:
        OnClose();
        break;
      case Msg::SysCommand:
        OnSysCommand(static_cast<UINT>(m.param), m.lParam);
        break;
      default:
        handled = false;
    }
  }
  bool wantsDefault = m_bDefault;
  m_bDefault = false;
  return handled && !wantsDefault;
}

bool CDialog::OnWndMsg(const Message&, intptr_t*) {
  return false;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

void CDialog::OnSysCommand(UINT, intptr_t) {
  Default();
}
void CDialog::OnPaint() {
  Default();
}
// The default handling of a close request is the cancel command.
void CDialog::OnClose() {
  CDialog::OnCancel();
}
void CDialog::OnTimer(uintptr_t) {}
void CDialog::OnLButtonDown(UINT, CPoint) {
  Default();
}

void CDialog::SetWindowTitle(const CString& text) {
  if (m_pHost) m_pHost->SetTitle(text);
}
// An equal text is left alone: no repaint, no change notification.
void CDialog::SetItemText(int id, const CString& text) {
  if (m_pHost && m_pHost->GetItemText(id) != text) m_pHost->SetItemText(id, text);
}
CString CDialog::GetItemText(int id) const {
  return m_pHost ? m_pHost->GetItemText(id) : CString();
}
void CDialog::SetTimer(uintptr_t id, UINT elapseMs) {
  if (m_pHost) m_pHost->SetTimer(id, elapseMs);
}
void CDialog::KillTimer(uintptr_t id) {
  if (m_pHost) m_pHost->KillTimer(id);
}
void CDialog::EndDialog(int result) {
  if (m_pHost) m_pHost->EndDialog(result);
}
BOOL CDialog::IsIconic() const {
  return m_pHost && m_pHost->IsMinimized();
}
void CDialog::ClientToScreen(CPoint& p) const {
  if (m_pHost) p = m_pHost->ClientToScreen(p);
}
bool CDialog::GetItemScreenRect(int id, CRect& rect) const {
  return m_pHost && m_pHost->GetItemScreenRect(id, rect);
}
uint64_t CDialog::NativeWindow() const {
  return m_pHost ? m_pHost->NativeWindow() : 0;
}
