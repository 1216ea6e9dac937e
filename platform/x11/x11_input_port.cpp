#include "platform/x11/x11_input_port.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

namespace loreth {

namespace {

// How long BringToFront waits for the window manager, and how often it looks.
constexpr auto kActivateTimeout = std::chrono::milliseconds(500);
constexpr auto kActivatePoll = std::chrono::milliseconds(2);
// A focus chain deeper than this is not a real window tree.
constexpr int kMaxTreeDepth = 64;

// Swallows the X errors of one display while it lives: a window may vanish at
// any time (BadWindow), and that must never end the program. Errors of other
// displays (a toolkit's own connection) go to the handler that was there
// before. All calls come from one thread, so plain statics are enough.
Display* g_trapDisplay = nullptr;
XErrorHandler g_prevHandler = nullptr;
int g_trapErrors = 0;

int TrapHandler(Display* dpy, XErrorEvent* ev) {
  if (dpy == g_trapDisplay) {
    ++g_trapErrors;
    return 0;
  }
  return g_prevHandler != nullptr ? g_prevHandler(dpy, ev) : 0;
}

class ErrorTrap {
 public:
  explicit ErrorTrap(Display* dpy) : m_dpy(dpy), m_nested(g_trapDisplay == dpy) {
    if (m_nested) return;  // a caller has trapped already
    XSync(m_dpy, False);   // earlier errors belong to nobody here
    g_trapDisplay = m_dpy;
    g_trapErrors = 0;
    g_prevHandler = XSetErrorHandler(TrapHandler);
  }
  ~ErrorTrap() {
    if (m_nested) return;
    XSync(m_dpy, False);  // collect the errors of every request made inside
    XSetErrorHandler(g_prevHandler);
    g_prevHandler = nullptr;
    g_trapDisplay = nullptr;
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

 private:
  Display* m_dpy;
  bool m_nested;
};

// One window property, copied out of Xlib's buffer.
struct Property {
  bool found = false;
  Atom type = 0;
  int format = 0;
  std::vector<unsigned long> items;  // format 32 (Xlib hands them out as longs)
  std::string bytes;                 // format 8
};

Property GetProperty(Display* dpy, Window w, Atom prop, Atom type) {
  Property p;
  if (w == 0 || prop == 0) return p;
  Atom actualType = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, w, prop, 0, 1L << 20, False, type, &actualType, &format, &n, &after,
                         &data) != Success) {
    return p;
  }
  if (actualType != 0 && (type == AnyPropertyType || actualType == type) && data != nullptr) {
    p.found = true;
    p.type = actualType;
    p.format = format;
    if (format == 32) {
      auto* longs = reinterpret_cast<unsigned long*>(data);
      p.items.assign(longs, longs + n);
    } else if (format == 8) {
      p.bytes.assign(reinterpret_cast<char*>(data), n);
    }
  }
  if (data != nullptr) XFree(data);
  return p;
}

std::string Latin1ToUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool WindowExists(Display* dpy, Window w) {
  XWindowAttributes attrs;
  return w != 0 && XGetWindowAttributes(dpy, w, &attrs) != 0;
}

}  // namespace

X11InputPort::X11InputPort() {
  m_dpy = XOpenDisplay(nullptr);
  if (m_dpy == nullptr) return;
  m_root = DefaultRootWindow(m_dpy);
  int ev = 0, err = 0, major = 0, minor = 0;
  m_bXTest = XTestQueryExtension(m_dpy, &ev, &err, &major, &minor) != 0;
  m_kcControlL = XKeysymToKeycode(m_dpy, XK_Control_L);
  m_kcControlR = XKeysymToKeycode(m_dpy, XK_Control_R);
  m_kcShiftL = XKeysymToKeycode(m_dpy, XK_Shift_L);
  m_kcLeft = XKeysymToKeycode(m_dpy, XK_Left);
  m_kcRight = XKeysymToKeycode(m_dpy, XK_Right);
  m_aClientList = XInternAtom(m_dpy, "_NET_CLIENT_LIST", False);
  m_aActiveWindow = XInternAtom(m_dpy, "_NET_ACTIVE_WINDOW", False);
  m_aSupported = XInternAtom(m_dpy, "_NET_SUPPORTED", False);
  m_aWmName = XInternAtom(m_dpy, "_NET_WM_NAME", False);
  m_aUtf8String = XInternAtom(m_dpy, "UTF8_STRING", False);
  m_aWmPid = XInternAtom(m_dpy, "_NET_WM_PID", False);
  m_aWmCheck = XInternAtom(m_dpy, "_NET_SUPPORTING_WM_CHECK", False);
}

X11InputPort::~X11InputPort() {
  if (m_dpy != nullptr) XCloseDisplay(m_dpy);
}

unsigned X11InputPort::KeycodeOf(unsigned vk) const {
  switch (vk) {
    case kVkControl:
      return m_kcControlL;
    case kVkShift:
      return m_kcShiftL;
    case kVkLeft:
      return m_kcLeft;
    case kVkRight:
      return m_kcRight;
    default:
      return 0;
  }
}

void X11InputPort::SendKey(unsigned vk, bool down) {
  if (m_dpy == nullptr || !m_bXTest) return;
  unsigned kc = KeycodeOf(vk);
  if (kc == 0) return;
  XTestFakeKeyEvent(m_dpy, kc, down ? True : False, CurrentTime);
  // Out at once, so a pause between two events is a pause at the server too.
  XFlush(m_dpy);
}

void X11InputPort::KeyDown(unsigned vk) {
  SendKey(vk, true);
}
void X11InputPort::KeyUp(unsigned vk) {
  SendKey(vk, false);
}

void X11InputPort::Sleep(unsigned ms) {
  if (ms == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

std::string X11InputPort::TitleUtf8(unsigned long w) {
  Property name = GetProperty(m_dpy, w, m_aWmName, m_aUtf8String);
  if (name.found && name.format == 8) return name.bytes;
  Property legacy = GetProperty(m_dpy, w, XA_WM_NAME, AnyPropertyType);
  if (!legacy.found || legacy.format != 8) return std::string();
  if (legacy.type == XA_STRING) return Latin1ToUtf8(legacy.bytes);
  if (legacy.type == m_aUtf8String) return legacy.bytes;
  // COMPOUND_TEXT and the like: let Xlib convert.
  XTextProperty tp;
  tp.value = reinterpret_cast<unsigned char*>(legacy.bytes.data());
  tp.encoding = legacy.type;
  tp.format = 8;
  tp.nitems = legacy.bytes.size();
  char** list = nullptr;
  int count = 0;
  std::string out = legacy.bytes;
  if (Xutf8TextPropertyToTextList(m_dpy, &tp, &list, &count) >= Success && list != nullptr) {
    out.clear();
    for (int i = 0; i < count; ++i) out += list[i];
    XFreeStringList(list);
  }
  return out;
}

WindowId X11InputPort::FindWindowByTitle(const CString& title) {
  if (m_dpy == nullptr || title.IsEmpty()) return 0;
  ErrorTrap trap(m_dpy);
  std::vector<unsigned long> windows;
  Property clients = GetProperty(m_dpy, m_root, m_aClientList, XA_WINDOW);
  if (clients.found) {
    windows = clients.items;
  } else {
    // No EWMH window manager: the top-level windows are the root's children.
    Window rootRet = 0, parent = 0;
    Window* children = nullptr;
    unsigned n = 0;
    if (XQueryTree(m_dpy, m_root, &rootRet, &parent, &children, &n) != 0 && children != nullptr) {
      windows.assign(children, children + n);
    }
    if (children != nullptr) XFree(children);
  }
  for (unsigned long w : windows) {
    if (w != 0 && CString::FromUtf8(TitleUtf8(w)) == title) return w;
  }
  return 0;
}

bool X11InputPort::WmSupports(unsigned long atom) {
  // A window manager that has gone leaves its root properties behind: trust
  // _NET_SUPPORTED only while its check window still exists.
  Property wm = GetProperty(m_dpy, m_root, m_aWmCheck, XA_WINDOW);
  if (!wm.found || wm.items.empty() || !WindowExists(m_dpy, wm.items[0])) return false;
  Property supported = GetProperty(m_dpy, m_root, m_aSupported, XA_ATOM);
  for (unsigned long a : supported.items) {
    if (a == atom) return true;
  }
  return false;
}

unsigned long X11InputPort::FocusWindow() {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(m_dpy, &focus, &revert);
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    if (focus == None || focus == PointerRoot || focus == m_root) return 0;
    Window rootRet = 0, parent = 0;
    Window* children = nullptr;
    unsigned n = 0;
    if (XQueryTree(m_dpy, focus, &rootRet, &parent, &children, &n) == 0) return 0;
    if (children != nullptr) XFree(children);
    if (parent == m_root) return focus;
    focus = parent;
  }
  return 0;
}

bool X11InputPort::FocusIsIn(unsigned long w) {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(m_dpy, &focus, &revert);
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    if (focus == None || focus == PointerRoot || focus == m_root) return false;
    if (focus == w) return true;
    Window rootRet = 0, parent = 0;
    Window* children = nullptr;
    unsigned n = 0;
    if (XQueryTree(m_dpy, focus, &rootRet, &parent, &children, &n) == 0) return false;
    if (children != nullptr) XFree(children);
    focus = parent;
  }
  return false;
}

bool X11InputPort::BringToFront(WindowId w) {
  if (m_dpy == nullptr || w == 0) return false;
  bool ewmh = false;
  {
    ErrorTrap trap(m_dpy);
    if (!WindowExists(m_dpy, w)) return false;
    ewmh = WmSupports(m_aActiveWindow);
    if (ewmh) {
      XEvent ev{};
      ev.xclient.type = ClientMessage;
      ev.xclient.window = w;
      ev.xclient.message_type = m_aActiveWindow;
      ev.xclient.format = 32;
      ev.xclient.data.l[0] = 2;  // source: a pager, which the window manager obeys
      ev.xclient.data.l[1] = CurrentTime;
      ev.xclient.data.l[2] = 0;
      XSendEvent(m_dpy, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    } else {
      XRaiseWindow(m_dpy, w);
      XSetInputFocus(m_dpy, w, RevertToParent, CurrentTime);
    }
  }
  // A window manager may hand the focus around for a moment (openbox focuses
  // every new window): the first key must wait until both the active window
  // and the keyboard focus are the player.
  const auto deadline = std::chrono::steady_clock::now() + kActivateTimeout;
  for (;;) {
    {
      ErrorTrap trap(m_dpy);
      unsigned long active = ewmh ? ForegroundWindow() : FocusWindow();
      if (active == w && FocusIsIn(w)) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kActivatePoll);
  }
}

WindowId X11InputPort::ForegroundWindow() {
  if (m_dpy == nullptr) return 0;
  ErrorTrap trap(m_dpy);
  if (!WmSupports(m_aActiveWindow)) return FocusWindow();  // no EWMH window manager
  Property active = GetProperty(m_dpy, m_root, m_aActiveWindow, XA_WINDOW);
  return active.items.empty() ? 0 : active.items[0];
}

CString X11InputPort::WindowTitle(WindowId w) {
  if (m_dpy == nullptr || w == 0) return CString();
  ErrorTrap trap(m_dpy);
  return CString::FromUtf8(TitleUtf8(w));
}

bool X11InputPort::IsOwnWindow(WindowId w) {
  if (m_dpy == nullptr || w == 0) return false;
  ErrorTrap trap(m_dpy);
  Property pid = GetProperty(m_dpy, w, m_aWmPid, XA_CARDINAL);
  return pid.found && !pid.items.empty() && pid.items[0] == static_cast<unsigned long>(::getpid());
}

bool X11InputPort::IsCtrlHeld() {
  if (m_dpy == nullptr) return false;
  char keys[32] = {};
  XQueryKeymap(m_dpy, keys);
  auto down = [&keys](unsigned kc) {
    return kc != 0 && kc < 256 && (keys[kc / 8] & (1 << (kc % 8))) != 0;
  };
  return down(m_kcControlL) || down(m_kcControlR);
}

CTime X11InputPort::Now() {
  return CTime(static_cast<long long>(std::time(nullptr)));
}

std::unique_ptr<IInputPort> CreateDesktopInputPort() {
  return std::make_unique<X11InputPort>();
}

}  // namespace loreth
