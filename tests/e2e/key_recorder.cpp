// key_recorder --title TITLE --log FILE [--legacy-name]
//
// A small X11 window that writes every key press and release it receives to
// FILE, one line each, flushed at once: "down Control_L", "down Right ctrl",
// "up Right ctrl". The name is the key's unshifted keysym; "ctrl" and "shift"
// follow when the Control or Shift modifier was down at the event (as the X
// server reports it, i.e. before the event itself). The window's title is set
// as _NET_WM_NAME and WM_NAME in UTF-8, and _NET_WM_PID is set; with
// --legacy-name only WM_NAME is set, as Latin-1 text. Prints "ready" on stdout
// once the window is mapped. Ends when the window is closed or on a signal.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: key_recorder --title TITLE --log FILE [--legacy-name]\n");
  return 2;
}

// UTF-8 to Latin-1 for the legacy WM_NAME; characters beyond Latin-1 become '?'.
std::string Utf8ToLatin1(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size() && c <= 0xC3) {
      out.push_back(static_cast<char>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F)));
      ++i;
    } else if ((c & 0xC0) != 0x80) {
      out.push_back('?');
    }
  }
  return out;
}

void SetStringProperty(Display* dpy, Window w, Atom prop, Atom type, const std::string& text) {
  XChangeProperty(dpy, w, prop, type, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
}

}  // namespace

int main(int argc, char** argv) {
  std::string title, logPath;
  bool legacy = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--title") == 0 && i + 1 < argc) {
      title = argv[++i];
    } else if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
      logPath = argv[++i];
    } else if (std::strcmp(argv[i], "--legacy-name") == 0) {
      legacy = true;
    } else {
      return Usage();
    }
  }
  if (logPath.empty()) return Usage();

  std::FILE* log = std::fopen(logPath.c_str(), "w");
  if (log == nullptr) {
    std::perror(logPath.c_str());
    return 1;
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "key_recorder: cannot open the display\n");
    return 1;
  }
  int screen = DefaultScreen(dpy);
  Window w = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 40, 40, 240, 120, 1,
                                 BlackPixel(dpy, screen), WhitePixel(dpy, screen));
  Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  if (legacy) {
    SetStringProperty(dpy, w, XA_WM_NAME, XA_STRING, Utf8ToLatin1(title));
  } else {
    SetStringProperty(dpy, w, XA_WM_NAME, utf8, title);
    SetStringProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False), utf8, title);
  }
  unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  XWMHints hints{};
  hints.flags = InputHint;
  hints.input = True;
  XSetWMHints(dpy, w, &hints);
  Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(dpy, w, &deleteWindow, 1);
  XSelectInput(dpy, w, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
  XMapWindow(dpy, w);

  bool ready = false;
  for (;;) {
    // A window manager that has only just started may miss a map request; until
    // the window shows, ask again every second.
    if (!ready && XPending(dpy) == 0) {
      pollfd p{ConnectionNumber(dpy), POLLIN, 0};
      if (poll(&p, 1, 1000) == 0) {
        XUnmapWindow(dpy, w);
        XMapWindow(dpy, w);
        XFlush(dpy);
        continue;
      }
    }
    XEvent ev;
    XNextEvent(dpy, &ev);
    if (ev.type == MapNotify && !ready) {
      ready = true;
      std::printf("ready\n");
      std::fflush(stdout);
    } else if (ev.type == KeyPress || ev.type == KeyRelease) {
      KeySym sym = XLookupKeysym(&ev.xkey, 0);
      const char* name = sym != NoSymbol ? XKeysymToString(sym) : nullptr;
      std::string line = ev.type == KeyPress ? "down " : "up ";
      line += name != nullptr ? name : "keycode" + std::to_string(ev.xkey.keycode);
      if ((ev.xkey.state & ControlMask) != 0) line += " ctrl";
      if ((ev.xkey.state & ShiftMask) != 0) line += " shift";
      std::fprintf(log, "%s\n", line.c_str());
      std::fflush(log);
    } else if (ev.type == ClientMessage &&
               static_cast<Atom>(ev.xclient.data.l[0]) == deleteWindow) {
      break;
    }
  }
  XCloseDisplay(dpy);
  std::fclose(log);
  return 0;
}
