// The blind seek: from a target second, the rewind origin, the total and the
// delay, the exact key presses that move a player we cannot query to the target.
// Steps are proportional to the total: big F = T x 12 (Ctrl+arrow), medium
// G = T x 3 (bare arrow), small H = T x 0.15f (Shift+arrow).
#pragma once

#include <optional>

#include "framework/afx.h"
#include "platform/input_port.h"

namespace loreth {

struct SeekPlan {
  BOOL bFirst = FALSE;      // first seek of a run: the rewind is one bare Left
  float fLead = 0.0f;       // lead time c in seconds
  int nRewind = 0;          // Ctrl+Left presses (when not bFirst)
  int nBig = 0;             // Ctrl+Right presses
  int nMedium = 0;          // bare Right presses
  BOOL bOvershoot = FALSE;  // one more Right, then Shift+Left; else Shift+Right
  int nSmall = 0;           // Shift+Left (overshoot) or Shift+Right presses
  int nDelayMs = 0;         // pause before each arrow press
};

// Every count is bounded to +-kMaxPresses and the pause to kMaxDelayMs, so no
// value a form or a file can hold (0, NaN, infinities, huge) makes a key storm.
inline constexpr int kMaxPresses = 1000;
inline constexpr int kMaxDelayMs = 1000 * 1000;

// target: the start second S; rewindFrom: the end second E of the row the player
// is at, or nullopt for the first seek of a run. Pure.
SeekPlan PlanSeek(long long target, std::optional<long long> rewindFrom, float total, float delay);

// Sends the plan's key events through the port, pausing before every arrow press.
void SendSeekPlan(const SeekPlan& plan, IInputPort& port);

}  // namespace loreth
