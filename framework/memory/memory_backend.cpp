#include "framework/memory/memory_backend.h"

#include <stdexcept>

namespace {
// One dialog unit is two pixels each way in memory.
constexpr int kScale = 2;
}  // namespace

MemoryHost::MemoryHost(CDialog& dlg) : m_dlg(dlg) {
  const DialogTemplate* t = FindDialogTemplate(dlg.GetTemplateId());
  if (!t) throw std::runtime_error("no template");
  m_title = t->caption;
  for (const ControlTemplate& c : t->controls) {
    if (c.id == -1) continue;
    m_controls[c.id] = Control{&c, CString(c.text)};
  }
  m_dlg.Attach(this);
  BOOL focusFirst = m_dlg.OnInitDialog();
  if (focusFirst) {
    for (const ControlTemplate& c : t->controls) {
      if (c.style & style::TabStop) {
        focusedId = c.id;
        break;
      }
    }
  }
}

MemoryHost::~MemoryHost() {
  m_dlg.Attach(nullptr);
}

MemoryHost::Control* MemoryHost::Find(int id) {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : &it->second;
}
const MemoryHost::Control* MemoryHost::Find(int id) const {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : &it->second;
}

std::string MemoryHost::Text(int id) const {
  const Control* c = Find(id);
  return c ? c->text.ToUtf8() : std::string();
}

int MemoryHost::Limit(int id) const {
  const Control* c = Find(id);
  return c ? c->limit : 0;
}

void MemoryHost::Changed(int id) {
  const Control* c = Find(id);
  if (c && c->tmpl->kind == ControlKind::Edit)
    m_dlg.HandleMessage(CommandMessage(id, Notify::Change));
}

void MemoryHost::Type(int id, const std::string& text) {
  Control* c = Find(id);
  if (!c) return;
  bool digitsOnly = (c->tmpl->style & style::EsNumber) != 0;
  const CString typed(text.c_str());
  for (char16_t ch : typed.Str()) {
    if (digitsOnly && !(ch >= u'0' && ch <= u'9')) continue;
    if (c->text.GetLength() >= c->limit) continue;
    std::u16string now = c->text.Str();
    now.push_back(ch);
    c->text = CString(std::move(now));
    Changed(id);
  }
}

void MemoryHost::Paste(int id, const std::string& text) {
  Control* c = Find(id);
  if (!c) return;
  c->text = CString(text.c_str()).Left(c->limit);
  Changed(id);
}

void MemoryHost::Click(int id) {
  m_dlg.HandleMessage(CommandMessage(id, Notify::Clicked));
}

void MemoryHost::Tick(uintptr_t timerId) {
  m_dlg.HandleMessage(SimpleMessage(Msg::Timer, timerId));
}

void MemoryHost::PressEsc() {
  m_dlg.HandleMessage(CommandMessage(IDCANCEL, Notify::None));
}

void MemoryHost::CloseBox() {
  if (!m_dlg.HandleMessage(SimpleMessage(Msg::SysCommand, SC_CLOSE_COMMAND)))
    m_dlg.HandleMessage(SimpleMessage(Msg::Close));
}

void MemoryHost::LeftClickAt(CPoint client) {
  Message m = SimpleMessage(Msg::LButtonDown);
  m.point = client;
  m_dlg.HandleMessage(m);
}

CPoint MemoryHost::CenterOf(int id) const {
  const Control* c = Find(id);
  if (!c) return {};
  return {(c->tmpl->x + c->tmpl->cx / 2) * kScale, (c->tmpl->y + c->tmpl->cy / 2) * kScale};
}

void MemoryHost::SetTitle(const CString& text) {
  m_title = text;
  titles.push_back(text.ToUtf8());
}

CString MemoryHost::GetItemText(int id) {
  Control* c = Find(id);
  return c ? c->text : CString();
}

void MemoryHost::SetItemText(int id, const CString& text) {
  Control* c = Find(id);
  if (!c) return;
  ++setTextCalls;
  c->text = text;
  Changed(id);  // like WM_SETTEXT, a write raises the change notification
}

void MemoryHost::LimitText(int id, int maxChars) {
  if (Control* c = Find(id)) c->limit = maxChars;
}

void MemoryHost::FocusAndSelectAll(int id) {
  focusedId = id;
  selectedAll = true;
}

int MemoryHost::MessageBox(const CString& text, const CString& caption, UINT type) {
  ShownMessageBox box{text.ToUtf8(), caption.ToUtf8(), type};
  messageBoxes.push_back(box);
  if (onMessageBox) onMessageBox(box);
  if (messageBoxAnswers.empty()) return IDOK;
  int answer = messageBoxAnswers.front();
  messageBoxAnswers.pop_front();
  return answer;
}

void MemoryHost::SetTimer(uintptr_t, UINT elapseMs) {
  timerRunning = true;
  timerElapse = elapseMs;
}

void MemoryHost::KillTimer(uintptr_t) {
  timerRunning = false;
}

bool MemoryHost::GetItemScreenRect(int id, CRect& rect) {
  const Control* c = Find(id);
  if (!c) return false;
  const ControlTemplate& t = *c->tmpl;
  rect = {screenOrigin.x + t.x * kScale, screenOrigin.y + t.y * kScale,
          screenOrigin.x + (t.x + t.cx) * kScale, screenOrigin.y + (t.y + t.cy) * kScale};
  return true;
}

CPoint MemoryHost::ClientToScreen(CPoint p) {
  return {p.x + screenOrigin.x, p.y + screenOrigin.y};
}

void MemoryHost::EndDialog(int result) {
  ended = true;
  endResult = result;
  timerRunning = false;
}

bool MemoryHost::RunFileDialog(FileDialogRequest& request) {
  fileDialogs.push_back(request);
  if (fileDialogAnswers.empty()) return false;
  std::string answer = fileDialogAnswers.front();
  fileDialogAnswers.pop_front();
  if (answer.empty()) return false;
  request.pathName = CString(answer.c_str());
  return true;
}

int MemoryBackend::RunModal(CDialog& dlg, CDialog*) {
  modalRuns.push_back(dlg.GetTemplateId());
  MemoryHost host(dlg);
  return IDOK;
}

CString MemoryBackend::LoadStringResource(UINT id) {
  const char* s = FindStringResource(id);
  return s ? CString(s) : CString();
}

int MemoryBackend::MessageBox(const CString& text, const CString& caption, UINT type) {
  messageBoxes.push_back({text.ToUtf8(), caption.ToUtf8(), type});
  return IDOK;
}
