// The whole application in a real X session (xsession.sh: Xvfb + openbox): the
// loreth binary is started, rows are typed into its form with XTest, Set is
// pressed, another window is brought to the front during the countdown, and
// what arrives there is compared with the seek planner: key by key in a
// key_recorder window, landing by landing in mpv (paused and playing).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/recording/recording_port.h"
#include "platform/x11/x11_input_port.h"
#include "playback/seek_planner.h"
#include "tests/e2e/e2e_support.h"

// After GoogleTest: Xlib's macros (None, Bool) would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace loreth {
namespace {

using e2e::BlankVideo;
using e2e::Bursts;
using e2e::ChildProcess;
using e2e::LogTail;
using e2e::MpvIpc;
using e2e::OnPath;
using e2e::ReadLines;
using e2e::TempDir;
using e2e::WaitUntil;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr float kDefaultTotal = 120.0f;  // the form's total at start-up
// Keys of one seek come within milliseconds; passages here last 2 s or more.
constexpr milliseconds kBurstGap{300};

double MsSince(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Typing as a user would: XTest key events to whatever has the focus.
class Keyboard {
 public:
  Keyboard() : m_dpy(XOpenDisplay(nullptr)) {}
  ~Keyboard() {
    if (m_dpy != nullptr) XCloseDisplay(m_dpy);
  }
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  // One key by keysym name ("Tab", "Return", "5"), with modifiers held around it.
  void Tap(const std::string& key, bool shift = false, bool ctrl = false) {
    if (ctrl) Send("Control_L", true);
    if (shift) Send("Shift_L", true);
    Send(key, true);
    Send(key, false);
    if (shift) Send("Shift_L", false);
    if (ctrl) Send("Control_L", false);
    std::this_thread::sleep_for(milliseconds(15));  // the form handles each key in turn
  }
  // Digits, '.', '\t' (Tab) and '\n' (Return).
  void Type(const std::string& text) {
    for (char c : text) {
      if (c == '\t') {
        Tap("Tab");
      } else if (c == '\n') {
        Tap("Return");
      } else if (c == '.') {
        Tap("period");
      } else {
        Tap(std::string(1, c));
      }
    }
  }
  // Replaces the text of the field with the focus.
  void Replace(const std::string& text) {
    Tap("a", false, /*ctrl=*/true);
    Type(text);
  }

 private:
  void Send(const std::string& key, bool down) {
    KeyCode kc = XKeysymToKeycode(m_dpy, XStringToKeysym(key.c_str()));
    ASSERT_NE(kc, 0) << key;
    XTestFakeKeyEvent(m_dpy, kc, down ? True : False, CurrentTime);
    XSync(m_dpy, False);
  }

  Display* m_dpy;
};

// The top-level windows the window manager lists (_NET_CLIENT_LIST).
std::set<WindowId> ClientWindows() {
  std::set<WindowId> out;
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) return out;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "_NET_CLIENT_LIST", False),
                         0, 4096, False, XA_WINDOW, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr && format == 32) {
    auto* ids = reinterpret_cast<unsigned long*>(data);
    for (unsigned long i = 0; i < count; ++i) out.insert(ids[i]);
  }
  if (data != nullptr) XFree(data);
  XCloseDisplay(dpy);
  return out;
}

// The lines key_recorder logs for one seek, from the planner's own plan: key
// by key, with the modifiers as they were held before each event.
std::vector<std::string> ExpectedLines(long long target, std::optional<long long> rewindFrom,
                                       float total, float delay) {
  RecordingPort rec;
  SendSeekPlan(PlanSeek(target, rewindFrom, total, delay), rec);
  std::vector<std::string> lines;
  bool ctrl = false, shift = false;
  for (const RecordedEvent& e : rec.events) {
    if (e.kind != RecordedEvent::Down && e.kind != RecordedEvent::Up) continue;
    const bool down = e.kind == RecordedEvent::Down;
    const char* name = e.value == kVkControl ? "Control_L"
                       : e.value == kVkShift ? "Shift_L"
                       : e.value == kVkLeft  ? "Left"
                                             : "Right";
    std::string line = std::string(down ? "down " : "up ") + name;
    if (ctrl) line += " ctrl";
    if (shift) line += " shift";
    lines.push_back(line);
    if (e.value == kVkControl) ctrl = down;
    if (e.value == kVkShift) shift = down;
  }
  return lines;
}

std::vector<std::string> Texts(const std::vector<LogTail::Line>& lines) {
  std::vector<std::string> out;
  for (const LogTail::Line& l : lines) out.push_back(l.text);
  return out;
}

// One row of the form as typed: start min, start sec, end min, end sec, loops.
struct Row {
  const char* cells[5];
};

class LorethRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_port.IsConnected()) GTEST_SKIP() << "no X display (run under xsession.sh)";
  }
  void TearDown() override {
    m_loreth.Stop();
    // A run stopped in the middle of a seek must not leave a modifier down.
    m_port.KeyUp(kVkControl);
    m_port.KeyUp(kVkShift);
  }

  // A key_recorder window titled `title`, logging to recorder.log.
  WindowId StartRecorder(const std::string& title) {
    m_recorderLog = m_dir.Path() / "recorder.log";
    EXPECT_TRUE(
        m_recorder.Start({KEY_RECORDER_PATH, "--title", title, "--log", m_recorderLog.string()}));
    EXPECT_EQ(m_recorder.ReadLine(), "ready");
    WindowId w = 0;
    EXPECT_TRUE(WaitUntil([&] { return (w = m_port.FindWindowByTitle(CString::FromUtf8(title))); }))
        << title;
    return w;
  }

  // Starts the application and waits until its form is in front with the focus
  // (in row 1's start-minute cell).
  void StartLoreth() {
    ASSERT_TRUE(m_loreth.Start({LORETH_APP_PATH}));
    ASSERT_TRUE(WaitUntil([&] { return (m_form = m_port.FindWindowByTitle("Loreth")) != 0; }))
        << "no window titled Loreth";
    ASSERT_TRUE(m_port.BringToFront(m_form));
  }

  // Types rows from row 1's start-minute cell on, then presses Enter (Set).
  // Returns the time of the Enter.
  Clock::time_point TypeRowsAndSet(const std::vector<Row>& rows) {
    for (size_t r = 0; r < rows.size(); ++r) {
      for (int c = 0; c < 5; ++c) {
        m_keys.Type(rows[r].cells[c]);
        if (r + 1 < rows.size() || c < 4) m_keys.Tap("Tab");
      }
    }
    m_keys.Tap("Return");
    return Clock::now();
  }

  TempDir m_dir;
  X11InputPort m_port;
  Keyboard m_keys;
  ChildProcess m_loreth;
  ChildProcess m_recorder;
  std::filesystem::path m_recorderLog;
  WindowId m_form = 0;
};

// Row 1 is 0:10-0:12, played twice; row 2 is 1:00-1:02, once; total 120, delay 0.
const std::vector<Row> kTwoRows = {{{"0", "10", "0", "12", "2"}}, {{"1", "0", "1", "2", "1"}}};

TEST_F(LorethRunTest, SeeksArriveInThePlayerInPlanOrder) {
  const WindowId recorder = StartRecorder("loreth run target");
  ASSERT_NO_FATAL_FAILURE(StartLoreth());
  LogTail tail(m_recorderLog);
  const Clock::time_point set = TypeRowsAndSet(kTwoRows);
  // The user brings the player forward during the countdown.
  ASSERT_TRUE(m_port.BringToFront(recorder));

  // First seek, the replay of row 1, row 2, row 1 again (after the wrap).
  struct Seek {
    long long target;
    std::optional<long long> from;
    const char* what;
  };
  const Seek expected[] = {
      {10, std::nullopt, "first seek to row 1"},
      {10, 12, "replay of row 1"},
      {60, 12, "row 2 after row 1"},
      {10, 62, "row 1 after the last row"},
  };
  const size_t want = std::size(expected);
  std::vector<std::vector<LogTail::Line>> bursts;
  WaitUntil(
      [&] {
        bursts = Bursts(tail.Lines(), kBurstGap);
        return bursts.size() > want ||
               (bursts.size() == want && Clock::now() - bursts.back().back().seen > kBurstGap);
      },
      std::chrono::seconds(25));
  m_loreth.Stop();
  ASSERT_GE(bursts.size(), want) << "seeks seen: " << bursts.size();

  for (size_t i = 0; i < want; ++i) {
    const Seek& s = expected[i];
    EXPECT_EQ(Texts(bursts[i]), ExpectedLines(s.target, s.from, kDefaultTotal, 0.0f)) << s.what;
  }
  // A passage of 2 s lasts between 1 and 2 s of real time plus up to one tick:
  // the bounds here only catch a wrong length (none, or a minute), not jitter.
  for (size_t i = 1; i < want; ++i) {
    const double gap = MsSince(bursts[i - 1].back().seen, bursts[i].front().seen);
    EXPECT_GT(gap, 500.0) << expected[i].what;
    EXPECT_LT(gap, 5000.0) << expected[i].what;
  }
  std::printf("\nSet at 0 ms (Enter sent); each seek: first key, last key, keys\n");
  for (size_t i = 0; i < want; ++i) {
    std::printf("  %-26s %8.1f ms %8.1f ms %3zu\n", expected[i].what,
                MsSince(set, bursts[i].front().seen), MsSince(set, bursts[i].back().seen),
                bursts[i].size());
  }
  std::printf("  first seek's last key after the 40th tick (4000 ms): %.1f ms\n",
              MsSince(set, bursts[0].back().seen) - 4000.0);
}

TEST_F(LorethRunTest, SetAgainDuringTheCountdownQuits) {
  const WindowId recorder = StartRecorder("loreth quit target");
  ASSERT_NO_FATAL_FAILURE(StartLoreth());
  const Clock::time_point set = TypeRowsAndSet(kTwoRows);
  std::this_thread::sleep_for(milliseconds(500));
  m_keys.Tap("Return");  // the same button, now counting down: Quit
  ASSERT_TRUE(m_port.BringToFront(recorder));
  // Well past the end of the countdown and the first passage.
  std::this_thread::sleep_for(set + std::chrono::seconds(7) - Clock::now());
  EXPECT_TRUE(m_loreth.Running());
  EXPECT_TRUE(ReadLines(m_recorderLog).empty()) << "keys were sent after Quit";
}

TEST_F(LorethRunTest, OwnFormInFrontStopsTheRunWithAMessage) {
  StartRecorder("loreth bystander");  // a window that must get no key either
  ASSERT_NO_FATAL_FAILURE(StartLoreth());
  const std::set<WindowId> before = ClientWindows();
  const Clock::time_point set = TypeRowsAndSet(kTwoRows);

  // The form stays in front for the whole countdown; then a box must appear.
  WindowId box = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (WindowId w : ClientWindows())
          if (!before.count(w)) box = w;
        return box != 0;
      },
      std::chrono::seconds(10)))
      << "no message box";
  std::printf("\nmessage box \"%s\" %.0f ms after Set\n", m_port.WindowTitle(box).ToUtf8().c_str(),
              MsSince(set, Clock::now()));
  // Message boxes are captioned with the application's name: the executable's.
  EXPECT_EQ(m_port.WindowTitle(box).ToUtf8(), std::filesystem::path(LORETH_APP_PATH).stem())
      << "the new window is not Loreth's message box";

  // The run has stopped: dismissed, no second box and no key anywhere.
  std::this_thread::sleep_for(milliseconds(1500));
  ASSERT_TRUE(m_port.BringToFront(box));
  m_keys.Tap("Return");
  EXPECT_TRUE(WaitUntil([&] { return ClientWindows().count(box) == 0; })) << "box still open";
  std::this_thread::sleep_for(milliseconds(1500));
  for (WindowId w : ClientWindows()) EXPECT_TRUE(before.count(w) != 0) << "another window: " << w;
  EXPECT_TRUE(ReadLines(m_recorderLog).empty()) << "keys were sent with no player in front";
  EXPECT_TRUE(m_loreth.Running());
}

// ---- mpv ----

class LorethMpvTest : public LorethRunTest {
 protected:
  void SetUp() override {
    LorethRunTest::SetUp();
    if (IsSkipped()) return;
    if (!e2e::HaveMpv()) GTEST_SKIP() << "mpv or ffmpeg is not installed";
    m_media = BlankVideo(LORETH_E2E_WORK_DIR);
    ASSERT_FALSE(m_media.empty()) << "ffmpeg could not make the test video";
  }

  void StartPlayer(bool paused) {
    m_title = "loreth mpv " + std::to_string(::getpid());
    const std::string socket = (m_dir.Path() / "mpv.sock").string();
    ASSERT_TRUE(e2e::StartMpv(m_mpv, m_dir.Path(), m_title, socket, m_media, paused));
    ASSERT_TRUE(WaitUntil([&] { return m_ipc.Connect(socket); })) << "no IPC socket";
    ASSERT_TRUE(WaitUntil([&] {
      return (m_player = m_port.FindWindowByTitle(CString::FromUtf8(m_title))) != 0;
    })) << "no mpv window";
    std::optional<double> length;
    WaitUntil([&] { return (length = m_ipc.Number("duration")).has_value(); });
    ASSERT_TRUE(length.has_value());
    ASSERT_NEAR(*length, e2e::kMpvLength, 1e-6);
  }

  // From row 1's start-minute cell the delay field is five fields back (file
  // name, Save, Open, Set, delay); five forward lead back to the cell.
  void TypeDelay(const std::string& delay) {
    for (int i = 0; i < 5; ++i) m_keys.Tap("Tab", /*shift=*/true);
    m_keys.Replace(delay);
    for (int i = 0; i < 5; ++i) m_keys.Tap("Tab");
  }

  // (time since `from`, position) every `every` until `until`.
  struct Sample {
    double ms;
    double pos;
  };
  std::vector<Sample> SamplePositions(Clock::time_point from, Clock::time_point until,
                                      milliseconds every) {
    std::vector<Sample> out;
    while (Clock::now() < until) {
      auto next = Clock::now() + every;
      if (std::optional<double> p = m_ipc.Number("time-pos")) {
        out.push_back({MsSince(from, Clock::now()), *p});
      }
      std::this_thread::sleep_until(next);
    }
    return out;
  }

  std::string m_media;
  std::string m_title;
  ChildProcess m_mpv;
  MpvIpc m_ipc;
  WindowId m_player = 0;
};

// Row 1 is 0:30-0:32 (twice), row 2 1:00-1:02 (once); keys 50 ms apart.
TEST_F(LorethMpvTest, PausedPlayerLandsOnThePlannedMarks) {
  ASSERT_NO_FATAL_FAILURE(StartPlayer(/*paused=*/true));
  ASSERT_NO_FATAL_FAILURE(StartLoreth());
  const float delay = 0.05f;
  TypeDelay("0.05");
  const Clock::time_point set =
      TypeRowsAndSet({{{"0", "30", "0", "32", "2"}}, {{"1", "0", "1", "2", "1"}}});
  ASSERT_TRUE(m_port.BringToFront(m_player));

  // Paused, the position changes only in seeks: each landing is where it stays.
  std::vector<Sample> samples =
      SamplePositions(set, set + std::chrono::seconds(13), milliseconds(5));
  m_loreth.Stop();
  struct Stay {
    double fromMs, toMs, pos;
  };
  std::vector<Stay> stays;
  for (const Sample& s : samples) {
    if (stays.empty() || std::fabs(s.pos - stays.back().pos) > 1e-6) {
      stays.push_back({s.ms, s.ms, s.pos});
    } else {
      stays.back().toMs = s.ms;
    }
  }
  std::vector<double> landings;
  std::printf("\nlandings (from, to after Set, position):\n");
  for (const Stay& s : stays) {
    if (s.toMs - s.fromMs < 400.0 || s.fromMs < 3500.0) continue;  // passing through, or before
    landings.push_back(s.pos);
    std::printf("  %7.0f ms %7.0f ms %8.2f\n", s.fromMs, s.toMs, s.pos);
  }

  struct Seek {
    long long target;
    std::optional<long long> from;
  };
  const Seek seeks[] = {{30, std::nullopt}, {30, 32}, {60, 32}, {30, 62}};
  std::vector<double> planned;
  double at = 0.0;  // where mpv was started
  for (const Seek& s : seeks) {
    at = e2e::IntendedLanding(PlanSeek(s.target, s.from, kDefaultTotal, delay), at);
    planned.push_back(at);
  }
  EXPECT_EQ(planned, (std::vector<double>{36, 36, 72, 36}));  // the first mark above each target
  ASSERT_GE(landings.size(), planned.size());
  for (size_t i = 0; i < planned.size(); ++i)
    EXPECT_NEAR(landings[i], planned[i], 0.01) << "seek " << i + 1;
}

// Playing: row 1 is 0:30-0:33 (twice), row 2 1:00-1:02 (once). While playing,
// mpv runs a relative seek only after it has shown a frame since the last one,
// so the keys go 0.2 s apart (at 10 fps, 50 ms loses steps).
TEST_F(LorethMpvTest, PlayingPlayerPlaysEachPassageItsNumberOfTimes) {
  ASSERT_NO_FATAL_FAILURE(StartPlayer(/*paused=*/false));
  ASSERT_NO_FATAL_FAILURE(StartLoreth());
  TypeDelay("0.2");
  const Clock::time_point set =
      TypeRowsAndSet({{{"0", "30", "0", "33", "2"}}, {{"1", "0", "1", "2", "1"}}});
  ASSERT_TRUE(m_port.BringToFront(m_player));

  std::vector<Sample> samples =
      SamplePositions(set, set + std::chrono::seconds(22), milliseconds(100));
  m_loreth.Stop();

  // A play is a run of samples moving forward at about the speed of time; a
  // jump (back, or forward by much more than 100 ms) begins the next one.
  struct Play {
    double fromMs, toMs, startPos, endPos;
  };
  std::vector<Play> plays;
  for (size_t i = 0; i < samples.size(); ++i) {
    const Sample& s = samples[i];
    bool jump = true;
    if (i > 0) {
      double moved = s.pos - samples[i - 1].pos;
      double elapsed = (s.ms - samples[i - 1].ms) / 1000.0;
      jump = moved < -0.05 || moved > elapsed + 0.5;
    }
    if (jump) {
      plays.push_back({s.ms, s.ms, s.pos, s.pos});
    } else {
      plays.back().toMs = s.ms;
      plays.back().endPos = s.pos;
    }
  }
  // Which row a play belongs to: the landing mark it starts near.
  std::vector<int> order;
  std::printf("\nplays (from, to after Set, positions, row):\n");
  for (const Play& p : plays) {
    if (p.fromMs < 3500.0 || p.toMs - p.fromMs < 900.0) continue;  // before the run, or passing
    int row = std::fabs(p.startPos - 36.0) < 3.0 ? 1 : std::fabs(p.startPos - 72.0) < 3.0 ? 2 : 0;
    order.push_back(row);
    std::printf("  %7.0f ms %7.0f ms %7.2f -> %7.2f  row %d\n", p.fromMs, p.toMs, p.startPos,
                p.endPos, row);
  }
  const std::vector<int> want = {1, 1, 2, 1, 1, 2};
  ASSERT_GE(order.size(), 4u);
  const size_t n = std::min(order.size(), want.size());
  EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + static_cast<long>(n)),
            std::vector<int>(want.begin(), want.begin() + static_cast<long>(n)));
}

}  // namespace
}  // namespace loreth
