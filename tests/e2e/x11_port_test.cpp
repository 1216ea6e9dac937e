// The X11 input port against real windows: a private Xvfb + openbox session
// (xsession.sh) and key_recorder windows that log the keys they receive.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/x11/x11_input_port.h"
#include "playback/seek_planner.h"
#include "tests/e2e/e2e_support.h"

// After GoogleTest: Xlib's macros (None, Bool) would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace loreth {
namespace {

using e2e::ChildProcess;
using e2e::ReadLines;
using e2e::TempDir;
using e2e::WaitUntil;

// One key_recorder window and its log.
struct Recorder {
  ChildProcess proc;
  std::filesystem::path log;
  WindowId window = 0;
};

class X11PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_port.IsConnected()) GTEST_SKIP() << "no X display (run under xsession.sh)";
  }

  // Starts a recorder titled `title` and waits until it is mapped and, when
  // `findable`, listed by the window manager under that title.
  std::unique_ptr<Recorder> StartRecorder(const std::string& title, bool legacyName = false,
                                          bool findable = true) {
    auto r = std::make_unique<Recorder>();
    r->log = m_dir.Path() / ("keys" + std::to_string(m_count++) + ".log");
    std::vector<std::string> argv = {KEY_RECORDER_PATH, "--title", title, "--log", r->log};
    if (legacyName) argv.push_back("--legacy-name");
    EXPECT_TRUE(r->proc.Start(argv));
    EXPECT_EQ(r->proc.ReadLine(), "ready");
    if (findable) {
      CString t = CString::FromUtf8(title);
      WaitUntil([&] { return (r->window = m_port.FindWindowByTitle(t)) != 0; });
      EXPECT_NE(r->window, 0u) << title;
    }
    return r;
  }

  TempDir m_dir;
  X11InputPort m_port;
  int m_count = 0;
};

TEST_F(X11PortTest, FindsOnlyTheExactTitle) {
  auto abc = StartRecorder("abc");
  struct Case {
    const char* query;
    bool found;
  };
  const Case cases[] = {
      {"abc", true},  {"ab", false}, {"abc ", false}, {" abc", false},
      {"ABC", false}, {"bc", false}, {"abcd", false},
  };
  for (const Case& c : cases) {
    WindowId w = m_port.FindWindowByTitle(CString::FromUtf8(c.query));
    EXPECT_EQ(w, c.found ? abc->window : 0u) << '"' << c.query << '"';
  }
  EXPECT_EQ(m_port.WindowTitle(abc->window), CString("abc"));
}

TEST_F(X11PortTest, TitlesRoundTripBeyondAscii) {
  // _NET_WM_NAME in UTF-8, and a window with only a Latin-1 WM_NAME.
  auto utf8 = StartRecorder("Übung – Etüde");
  auto latin1 = StartRecorder("Café crème", /*legacyName=*/true);
  EXPECT_EQ(m_port.WindowTitle(utf8->window), CString(u"Übung – Etüde"));
  EXPECT_EQ(m_port.FindWindowByTitle(CString(u"Übung – Etüde")), utf8->window);
  EXPECT_EQ(m_port.FindWindowByTitle(CString(u"Übung - Etüde")), 0u);
  EXPECT_EQ(m_port.WindowTitle(latin1->window), CString(u"Café crème"));
  EXPECT_NE(utf8->window, latin1->window);
}

TEST_F(X11PortTest, EmptyTitleFindsNothing) {
  auto untitled = StartRecorder("", false, /*findable=*/false);
  auto titled = StartRecorder("titled");
  EXPECT_EQ(m_port.FindWindowByTitle(CString()), 0u);
  EXPECT_EQ(m_port.WindowTitle(0), CString());
}

TEST_F(X11PortTest, BringToFrontMakesTheWindowForeground) {
  auto first = StartRecorder("first window");
  auto second = StartRecorder("second window");  // openbox focuses it on map
  for (Recorder* r : {first.get(), second.get(), first.get()}) {
    EXPECT_TRUE(m_port.BringToFront(r->window));
    EXPECT_EQ(m_port.ForegroundWindow(), r->window);
    EXPECT_EQ(m_port.WindowTitle(m_port.ForegroundWindow()), m_port.WindowTitle(r->window));
  }
}

TEST_F(X11PortTest, BadWindowsFailQuietly) {
  auto r = StartRecorder("survivor");
  EXPECT_FALSE(m_port.BringToFront(0));
  // An id that names no window: every call answers as for "no window".
  const WindowId bogus = 0x3fffff0;
  EXPECT_FALSE(m_port.BringToFront(bogus));
  EXPECT_EQ(m_port.WindowTitle(bogus), CString());
  EXPECT_FALSE(m_port.IsOwnWindow(bogus));
  // A window that has just gone away.
  WindowId gone = r->window;
  r->proc.Stop();
  EXPECT_TRUE(WaitUntil([&] { return m_port.FindWindowByTitle("survivor") == 0; }));
  EXPECT_FALSE(m_port.BringToFront(gone));
  EXPECT_EQ(m_port.WindowTitle(gone), CString());
}

TEST_F(X11PortTest, OwnWindowsByProcessId) {
  auto other = StartRecorder("someone else");
  EXPECT_FALSE(m_port.IsOwnWindow(other->window));

  // A window of this process, with _NET_WM_PID set as toolkits do.
  Display* dpy = XOpenDisplay(nullptr);
  ASSERT_NE(dpy, nullptr);
  Window mine = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 10, 10, 0, 0, 0);
  unsigned long pid = static_cast<unsigned long>(::getpid());
  XChangeProperty(dpy, mine, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
  Window unmarked = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 10, 10, 0, 0, 0);
  XSync(dpy, False);
  EXPECT_TRUE(m_port.IsOwnWindow(mine));
  EXPECT_FALSE(m_port.IsOwnWindow(unmarked));
  XCloseDisplay(dpy);
}

// Passes every call on to the X11 port and writes down, for each key event,
// the line key_recorder should log for it (modifiers as held before the event).
class ExpectingPort : public e2e::ForwardingPort {
 public:
  using ForwardingPort::ForwardingPort;
  std::vector<std::string> expected;

  void KeyDown(unsigned vk) override { Note("down ", vk, true); }
  void KeyUp(unsigned vk) override { Note("up ", vk, false); }

 private:
  void Note(const char* dir, unsigned vk, bool down) {
    const char* name = vk == kVkControl ? "Control_L"
                       : vk == kVkShift ? "Shift_L"
                       : vk == kVkLeft  ? "Left"
                                        : "Right";
    std::string line = std::string(dir) + name;
    if (m_ctrl) line += " ctrl";
    if (m_shift) line += " shift";
    expected.push_back(line);
    if (vk == kVkControl) m_ctrl = down;
    if (vk == kVkShift) m_shift = down;
    if (down) {
      ForwardingPort::KeyDown(vk);
    } else {
      ForwardingPort::KeyUp(vk);
    }
  }

  bool m_ctrl = false;
  bool m_shift = false;
};

TEST_F(X11PortTest, SeekPlanKeysArriveInOrderWithTheirModifiers) {
  auto rec = StartRecorder("key target");
  // An unrelated window in front, as when the form has the focus.
  auto decoy = StartRecorder("decoy");
  ASSERT_FALSE(m_port.IsCtrlHeld());

  // Hand-built plans cover every stage; the planned ones are real seeks
  // (5:30 first, 33:20 after a row that ended at 6:40, 0.2 s apart).
  SeekPlan overshoot;
  overshoot.nRewind = 2;
  overshoot.nBig = 1;
  overshoot.nMedium = 2;
  overshoot.bOvershoot = TRUE;
  overshoot.nSmall = 3;
  SeekPlan forward;
  forward.bFirst = TRUE;
  forward.nMedium = 1;
  forward.nSmall = 4;
  forward.nDelayMs = 1;
  const SeekPlan plans[] = {overshoot, forward, PlanSeek(330, std::nullopt, 120.0f, 0.0f),
                            PlanSeek(2000, 400, 120.0f, 0.2f)};

  size_t logged = 0;
  for (const SeekPlan& plan : plans) {
    ASSERT_TRUE(m_port.BringToFront(decoy->window));
    ExpectingPort port(m_port);
    ASSERT_TRUE(port.BringToFront(rec->window));
    SendSeekPlan(plan, port);
    std::vector<std::string> lines;
    WaitUntil([&] {
      lines = ReadLines(rec->log);
      return lines.size() >= logged + port.expected.size();
    });
    ASSERT_GE(lines.size(), logged);
    std::vector<std::string> got(lines.begin() + static_cast<long>(logged), lines.end());
    EXPECT_EQ(got, port.expected);
    logged = lines.size();
    EXPECT_FALSE(m_port.IsCtrlHeld()) << "Ctrl left down after a seek";
  }
  EXPECT_TRUE(ReadLines(decoy->log).empty()) << "keys went to the window behind";

  // Spelled out: the first seek to 5:30 at delay 0.
  const std::vector<std::string> first530 = {
      "down Left", "up Left",      "down Control_L",  "up Control_L ctrl", "down Right",
      "up Right",  "down Shift_L", "down Left shift", "up Left shift",     "up Shift_L shift",
  };
  std::vector<std::string> lines = ReadLines(rec->log);
  ExpectingPort check(m_port);
  SendSeekPlan(PlanSeek(330, std::nullopt, 120.0f, 0.0f), check);
  EXPECT_EQ(check.expected, first530);
  WaitUntil([&] { return ReadLines(rec->log).size() >= lines.size() + first530.size(); });
  std::vector<std::string> after = ReadLines(rec->log);
  ASSERT_GE(after.size(), lines.size());
  EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<long>(lines.size()), after.end()),
            first530);
}

TEST_F(X11PortTest, CtrlHeldOnlyWhileDown) {
  auto rec = StartRecorder("ctrl probe");
  ASSERT_TRUE(m_port.BringToFront(rec->window));
  EXPECT_FALSE(m_port.IsCtrlHeld());
  m_port.KeyDown(kVkControl);
  EXPECT_TRUE(m_port.IsCtrlHeld());
  m_port.KeyUp(kVkControl);
  EXPECT_FALSE(m_port.IsCtrlHeld());
  m_port.KeyDown(kVkShift);
  EXPECT_FALSE(m_port.IsCtrlHeld());
  m_port.KeyUp(kVkShift);
}

TEST(X11PortWithoutDisplay, EveryCallIsHarmless) {
  const char* saved = std::getenv("DISPLAY");
  std::string display = saved != nullptr ? saved : "";
  ::unsetenv("DISPLAY");
  {
    X11InputPort port;
    EXPECT_FALSE(port.IsConnected());
    port.KeyDown(kVkControl);
    port.KeyUp(kVkControl);
    port.Sleep(0);
    EXPECT_EQ(port.FindWindowByTitle("anything"), 0u);
    EXPECT_FALSE(port.BringToFront(1));
    EXPECT_EQ(port.ForegroundWindow(), 0u);
    EXPECT_EQ(port.WindowTitle(1), CString());
    EXPECT_FALSE(port.IsOwnWindow(1));
    EXPECT_FALSE(port.IsCtrlHeld());
    EXPECT_GT(port.Now().GetTime(), 0);
  }
  if (saved != nullptr) ::setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
}  // namespace loreth
