// How long a timer tick of a run takes, at delay 0, with the real X11 port:
// the form on the in-memory backend drives a key_recorder window as its player.
// Run inside xsession.sh:
//   tests/e2e/xsession.sh build/default/tests/e2e/tick_timing [runs]
// Each run fills row 1 with 33:20-34:00 (T = 120: a first seek of 12 arrow
// presses), presses Set, ticks through the four-second countdown and times
// the tick that seeks (the one that ends the countdown) and the tick after it,
// which only waits. Half the runs leave the recorder in front at the end of
// the countdown, as a user does; the other half put another window in front
// after the last countdown tick, so the seeking tick must raise the recorder.
// It prints medians and maxima and asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dialog/segment_dlg.h"
#include "framework/memory/memory_backend.h"
#include "platform/recording/recording_port.h"
#include "platform/x11/x11_input_port.h"
#include "playback/seek_planner.h"
#include "res/form_layout.h"
#include "tests/e2e/e2e_support.h"

namespace loreth {
namespace {

using e2e::ChildProcess;
using e2e::Median;
using e2e::TimingPort;
using e2e::WaitUntil;
using Clock = std::chrono::steady_clock;

constexpr int kCountdownTicks = 39;  // 4000 ms in ticks of 100 ms, less the one that seeks
constexpr long long kStart = 2000;   // 33:20

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The key events of the first seek to kStart at delay 0 with the form's total.
size_t KeyEventsOfTheSeek() {
  RecordingPort rec;
  SendSeekPlan(PlanSeek(kStart, std::nullopt, 120.0f, 0.0f), rec);
  return static_cast<size_t>(std::count_if(rec.events.begin(), rec.events.end(), [](auto& e) {
    return e.kind == RecordedEvent::Down || e.kind == RecordedEvent::Up;
  }));
}

// A key_recorder window titled `title`, logging to `log`; 0 when it did not come up.
WindowId StartRecorder(ChildProcess& proc, IInputPort& port, const std::string& title,
                       const std::filesystem::path& log) {
  if (!proc.Start({KEY_RECORDER_PATH, "--title", title, "--log", log.string()}) ||
      proc.ReadLine() != "ready") {
    return 0;
  }
  WindowId w = 0;
  WaitUntil([&] { return (w = port.FindWindowByTitle(CString::FromUtf8(title))) != 0; });
  return w;
}

struct Sample {
  std::vector<double> tick, toLastKey, raise, keysOnly, waiting, countdown;
};

void Print(const char* what, const std::vector<double>& v) {
  if (v.empty()) return;
  std::printf("| %s | %.2f ms | %.2f ms | %.2f ms |\n", what, Median(v),
              *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
}

// One run on a fresh form. False when the form did not seek as planned.
bool OneRun(X11InputPort& x11, WindowId recorder, WindowId decoy, bool raiseFromBehind,
            Sample& out) {
  MemoryBackend backend;
  CWinApp app;
  TimingPort port(x11);
  CSegmentDlg dlg{port};
  app.m_pMainWnd = &dlg;
  MemoryHost host(dlg);

  const int* cell = layout::kRows[0].cell;
  host.Type(cell[layout::kStartMin], "33");
  host.Type(cell[layout::kStartSec], "20");
  host.Type(cell[layout::kEndMin], "34");
  host.Type(cell[layout::kEndSec], "0");
  host.Click(IDC_SET);
  if (host.Text(IDC_SET) != "5") {
    std::fprintf(stderr, "Set did not start a run\n");
    return false;
  }
  if (!x11.BringToFront(recorder)) return false;
  for (int i = 0; i < kCountdownTicks; ++i) {
    const auto t0 = Clock::now();
    host.Tick();
    out.countdown.push_back(Ms(Clock::now() - t0));
  }
  if (raiseFromBehind && !x11.BringToFront(decoy)) return false;

  const auto t0 = Clock::now();
  host.Tick();  // the countdown ends: raise the player, send the first seek
  const auto t1 = Clock::now();
  if (port.lastKey < t0 || port.raiseStart < t0) {
    std::fprintf(stderr, "the tick sent no keys (Set reads \"%s\", %zu message boxes)\n",
                 host.Text(IDC_SET).c_str(), backend.messageBoxes.size());
    return false;
  }
  const double raise = Ms(port.raiseEnd - port.raiseStart);
  out.tick.push_back(Ms(t1 - t0));
  out.toLastKey.push_back(Ms(port.lastKey - t0));
  out.raise.push_back(raise);
  out.keysOnly.push_back(Ms(port.lastKey - t0) - raise);

  const auto lastKey = port.lastKey;
  const auto w0 = Clock::now();
  host.Tick();  // the passage has 40 s to go: nothing to send
  out.waiting.push_back(Ms(Clock::now() - w0));
  const bool quiet = port.lastKey == lastKey;

  host.Click(IDC_SET);  // Quit
  return quiet && backend.messageBoxes.empty();
}

int Main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  X11InputPort x11;
  if (!x11.IsConnected()) {
    std::fprintf(stderr, "no X display (run under xsession.sh)\n");
    return 77;
  }
  e2e::TempDir dir;
  ChildProcess recorderProc, decoyProc;
  const std::filesystem::path log = dir.Path() / "recorder.log";
  const std::string title = "tick timing " + std::to_string(::getpid());
  const WindowId recorder = StartRecorder(recorderProc, x11, title, log);
  const WindowId decoy = StartRecorder(decoyProc, x11, title + " decoy", dir.Path() / "decoy.log");
  if (recorder == 0 || decoy == 0) {
    std::fprintf(stderr, "no key_recorder window\n");
    return 1;
  }

  const size_t perSeek = KeyEventsOfTheSeek();
  Sample inFront, behind;
  size_t logged = 0;
  for (int run = 0; run < runs; ++run) {
    for (bool fromBehind : {false, true}) {
      if (!OneRun(x11, recorder, decoy, fromBehind, fromBehind ? behind : inFront)) {
        std::fprintf(stderr, "run %d failed\n", run + 1);
        return 1;
      }
      logged += perSeek;
      std::vector<std::string> lines;
      if (!WaitUntil([&] { return (lines = e2e::ReadLines(log)).size() >= logged; }) ||
          lines.size() != logged) {
        std::fprintf(stderr, "run %d: the recorder logged %zu key events, not %zu\n", run + 1,
                     lines.size(), logged);
        return 1;
      }
    }
  }
  if (!e2e::ReadLines(dir.Path() / "decoy.log").empty()) {
    std::fprintf(stderr, "keys went to the window behind\n");
    return 1;
  }

  std::printf("%d runs of each kind, delay 0, first seek to 33:20 (%zu key events), T = 120\n\n",
              runs, perSeek);
  std::printf("| | median | min | max |\n|---|---|---|---|\n");
  Print("recorder in front: whole seeking tick", inFront.tick);
  Print("recorder in front: tick start to last key", inFront.toLastKey);
  Print("recorder in front: of which BringToFront", inFront.raise);
  Print("recorder in front: tick start to last key, less BringToFront", inFront.keysOnly);
  Print("recorder behind: whole seeking tick", behind.tick);
  Print("recorder behind: tick start to last key", behind.toLastKey);
  Print("recorder behind: of which BringToFront", behind.raise);
  Print("recorder behind: tick start to last key, less BringToFront", behind.keysOnly);
  std::vector<double> waiting = inFront.waiting, countdown = inFront.countdown;
  waiting.insert(waiting.end(), behind.waiting.begin(), behind.waiting.end());
  countdown.insert(countdown.end(), behind.countdown.begin(), behind.countdown.end());
  Print("waiting tick (sends nothing)", waiting);
  Print("countdown tick (reads the window in front)", countdown);
  return 0;
}

}  // namespace
}  // namespace loreth

int main(int argc, char** argv) {
  return loreth::Main(argc, argv);
}
