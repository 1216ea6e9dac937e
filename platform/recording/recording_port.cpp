#include "platform/recording/recording_port.h"

namespace loreth {
namespace {

// prefix + number, built by appending (GCC 12 at -O3 flags "literal" + std::string
// with a false -Wrestrict).
std::string Numbered(const char* prefix, unsigned long long n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

std::string KeyName(unsigned vk) {
  switch (vk) {
    case kVkControl:
      return "C";
    case kVkShift:
      return "S";
    case kVkLeft:
      return "L";
    case kVkRight:
      return "R";
    default:
      return Numbered("k", vk);
  }
}

unsigned KeyCode(char key) {
  switch (key) {
    case 'C':
      return kVkControl;
    case 'S':
      return kVkShift;
    case 'L':
      return kVkLeft;
    case 'R':
      return kVkRight;
    default:
      return static_cast<unsigned char>(key);
  }
}

RecordedEvent Event(RecordedEvent::Kind kind, unsigned value, WindowId window = 0,
                    const CString& title = CString(), bool ok = true) {
  RecordedEvent e;
  e.kind = kind;
  e.value = value;
  e.window = window;
  e.title = title;
  e.ok = ok;
  return e;
}

std::string Join(const std::vector<RecordedEvent>& events, bool keysOnly) {
  std::string out;
  for (const RecordedEvent& e : events) {
    if (keysOnly && !e.IsKey()) continue;
    if (!out.empty()) out += ' ';
    out += e.Text();
  }
  return out;
}

}  // namespace

std::string RecordedEvent::Text() const {
  switch (kind) {
    case Down:
      return KeyName(value) + "d";
    case Up:
      return KeyName(value) + "u";
    case Sleep:
      return Numbered("sleep", value);
    case Find: {
      std::string s = "find(";
      s += title.ToUtf8();
      s += ")=";
      s += std::to_string(window);
      return s;
    }
    case Raise: {
      std::string s = Numbered("raise", window);
      if (!ok) s += '!';
      return s;
    }
  }
  return "?";
}

void RecordingPort::AddWindow(WindowId id, const CString& title, bool own) {
  windows[id] = title;
  if (own) ownWindows.insert(id);
}

void RecordingPort::ClearLog() {
  events.clear();
  findCalls = raiseCalls = foregroundCalls = titleCalls = ctrlCalls = nowCalls = 0;
  sleptMs = 0;
}

std::string RecordingPort::Log() const {
  return Join(events, false);
}
std::string RecordingPort::KeyLog() const {
  return Join(events, true);
}

int RecordingPort::CountDown(unsigned vk) const {
  int n = 0;
  for (const RecordedEvent& e : events) n += (e.kind == RecordedEvent::Down && e.value == vk);
  return n;
}

void RecordingPort::KeyDown(unsigned vk) {
  events.push_back(Event(RecordedEvent::Down, vk));
}

void RecordingPort::KeyUp(unsigned vk) {
  events.push_back(Event(RecordedEvent::Up, vk));
}

void RecordingPort::Sleep(unsigned ms) {
  events.push_back(Event(RecordedEvent::Sleep, ms));
  sleptMs += ms;
  if (sleepAdvancesClock) nowMs += ms;
}

WindowId RecordingPort::FindWindowByTitle(const CString& title) {
  ++findCalls;
  WindowId found = 0;
  if (!title.IsEmpty()) {
    for (const auto& [id, t] : windows) {
      if (id != 0 && t == title) {
        found = id;
        break;
      }
    }
  }
  events.push_back(Event(RecordedEvent::Find, 0, found, title));
  return found;
}

bool RecordingPort::BringToFront(WindowId w) {
  ++raiseCalls;
  const bool ok = !failRaise && w != 0 && windows.count(w) != 0;
  if (ok) foreground = w;
  events.push_back(Event(RecordedEvent::Raise, 0, w, CString(), ok));
  return ok;
}

WindowId RecordingPort::ForegroundWindow() {
  ++foregroundCalls;
  return foreground;
}

CString RecordingPort::WindowTitle(WindowId w) {
  ++titleCalls;
  auto it = windows.find(w);
  return w == 0 || it == windows.end() ? CString() : it->second;
}

bool RecordingPort::IsOwnWindow(WindowId w) {
  return w != 0 && ownWindows.count(w) != 0;
}

bool RecordingPort::IsCtrlHeld() {
  ++ctrlCalls;
  return ctrlHeld;
}

CTime RecordingPort::Now() {
  ++nowCalls;
  // Whole seconds, rounded down also before the epoch.
  long long s = nowMs / 1000;
  if (nowMs % 1000 < 0) --s;
  return CTime(s);
}

KeyText& KeyText::Word(const std::string& w) {
  if (!m_text.empty()) m_text += ' ';
  m_text += w;
  return *this;
}

KeyText& KeyText::Down(char key) {
  return Word(KeyName(KeyCode(key)) + "d");
}
KeyText& KeyText::Up(char key) {
  return Word(KeyName(KeyCode(key)) + "u");
}
KeyText& KeyText::Sleep(unsigned ms) {
  return Word(Numbered("sleep", ms));
}

KeyText& KeyText::Tap(char key, int count, unsigned ms) {
  for (int i = 0; i < count; ++i) Sleep(ms).Down(key).Up(key);
  return *this;
}

KeyText& KeyText::Held(char modifier, char arrow, int count, unsigned ms) {
  return Down(modifier).Tap(arrow, count, ms).Up(modifier);
}

}  // namespace loreth
