// A scripted desktop for tests: it records every key event, pause, window lookup
// and raise in order, and answers the questions of the port from plain members
// (a fake clock, a fake set of windows, the Ctrl key). Nothing really sleeps.
//
// The log renders as compact ASCII text, one word per event:
//   key press / release   Cd Cu (Ctrl), Sd Su (Shift), Ld Lu (Left), Rd Ru (Right),
//                         k<vk>d k<vk>u for any other virtual key
//   pause                 sleep<ms>
//   window lookup         find(<title>)=<window or 0>
//   raise                 raise<window> (raise<window>! when it failed)
// e.g. "sleep0 Ld Lu Cd Cu Sd sleep0 Rd Ru Su". KeyText builds expected texts.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/input_port.h"

namespace loreth {

struct RecordedEvent {
  enum Kind { Down, Up, Sleep, Find, Raise };
  Kind kind = Down;
  unsigned value = 0;   // the virtual key (Down, Up) or the milliseconds (Sleep)
  WindowId window = 0;  // the window found (Find) or asked for (Raise)
  CString title;        // the title looked for (Find)
  bool ok = true;       // Raise: whether the window came to the front

  bool IsKey() const { return kind == Down || kind == Up || kind == Sleep; }
  std::string Text() const;
};

class RecordingPort : public IInputPort {
 public:
  // ---- the script: set these freely ----
  std::map<WindowId, CString> windows;  // every top-level window and its title
  std::set<WindowId> ownWindows;        // the windows of this process
  WindowId foreground = 0;              // the window in front (0: none)
  bool ctrlHeld = false;                // IsCtrlHeld answers this
  bool failRaise = false;               // BringToFront fails for every window
  bool sleepAdvancesClock = false;      // Sleep(ms) moves the clock on by ms
  long long nowMs = 0;                  // the clock, in milliseconds

  // ---- what happened ----
  std::vector<RecordedEvent> events;
  int findCalls = 0;
  int raiseCalls = 0;
  int foregroundCalls = 0;
  int titleCalls = 0;
  int ctrlCalls = 0;
  int nowCalls = 0;
  unsigned long long sleptMs = 0;  // the sum of every Sleep

  // ---- small helpers for a test's set-up ----
  void AddWindow(WindowId id, const CString& title, bool own = false);
  void SetNow(long long seconds) { nowMs = seconds * 1000; }
  void Advance(long long seconds) { nowMs += seconds * 1000; }
  void AdvanceMs(long long ms) { nowMs += ms; }

  // Forgets the log and the counters; the script stays.
  void ClearLog();
  // The whole log as text, and only the key presses, releases and pauses.
  std::string Log() const;
  std::string KeyLog() const;
  // How many presses of `vk` the log holds.
  int CountDown(unsigned vk) const;

  // IInputPort
  void KeyDown(unsigned vk) override;
  void KeyUp(unsigned vk) override;
  void Sleep(unsigned ms) override;
  WindowId FindWindowByTitle(const CString& title) override;
  bool BringToFront(WindowId w) override;
  WindowId ForegroundWindow() override;
  CString WindowTitle(WindowId w) override;
  bool IsOwnWindow(WindowId w) override;
  bool IsCtrlHeld() override;
  CTime Now() override;
};

// Builds the expected key text in the format of RecordingPort::KeyLog. Keys are
// named by letter: 'C' Ctrl, 'S' Shift, 'L' Left, 'R' Right.
//   KeyText().Tap('L', 1, 0).Down('C').Up('C').Text() == "sleep0 Ld Lu Cd Cu"
class KeyText {
 public:
  KeyText& Down(char key);
  KeyText& Up(char key);
  KeyText& Sleep(unsigned ms);
  // `count` arrow presses, each one a pause of `ms`, then the press and the release.
  KeyText& Tap(char key, int count, unsigned ms);
  // Holds `modifier` around `count` presses of `arrow`: "Cd ... Cu".
  KeyText& Held(char modifier, char arrow, int count, unsigned ms);
  std::string Text() const { return m_text; }
  operator std::string() const { return m_text; }  // NOLINT: reads well in EXPECT_EQ

 private:
  KeyText& Word(const std::string& w);
  std::string m_text;
};

}  // namespace loreth
