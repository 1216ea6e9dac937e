// The blind seek. The numbers follow one fixed discipline so that every build and
// every desktop presses exactly the same keys: the values the planner keeps (T, D,
// the three steps, the target, the lead and its partial sums, the two candidate
// third terms of the lead, the believed position) are stored as float; all
// arithmetic between them is done in double and rounded to float only where it is
// stored. A count is a double quotient truncated toward zero. Floats are IEEE
// single precision: a double beyond their range is stored as an infinity.
#include "playback/seek_planner.h"

#include <cmath>

namespace loreth {
namespace {

// The single-precision 0.15 (0.150000006): with T = 120 it gives exactly 18 s.
constexpr float kSmallFactor = 0.15f;

// Truncates a quotient toward zero; a quotient that is not finite (T = 0 makes
// every step 0) counts as 0. Stays in double so nothing overflows here.
double Quot(double q) {
  return std::isfinite(q) ? std::trunc(q) : 0.0;
}

// A count as the plan holds it. Extreme totals and targets (a total of a few
// seconds, a target of millions of minutes) give counts far beyond anything a
// player needs, and beyond the int range: bound them before converting, so a
// converted value is always defined and no input can send a key storm.
int ToCount(double v) {
  if (std::isnan(v)) return 0;
  if (v < -kMaxPresses) return -kMaxPresses;
  if (v > kMaxPresses) return kMaxPresses;
  return static_cast<int>(v);
}

// D x 1000 truncated toward zero (0.7f gives 699 ms, 0.1f gives 100 ms); a delay
// that is negative or not finite pauses 0 ms; at most kMaxDelayMs.
int DelayMs(float delay) {
  const double ms = std::trunc(static_cast<double>(delay) * 1000.0);
  if (!std::isfinite(ms) || ms <= 0.0) return 0;
  if (ms >= kMaxDelayMs) return kMaxDelayMs;
  return static_cast<int>(ms);
}

// One arrow press: the pause (also of 0 ms: the thread yields once), then the key.
void Tap(IInputPort& port, unsigned vk, unsigned ms) {
  port.Sleep(ms);
  port.KeyDown(vk);
  port.KeyUp(vk);
}

void Taps(IInputPort& port, unsigned vk, int count, unsigned ms) {
  if (count > kMaxPresses) count = kMaxPresses;
  for (int i = 0; i < count; ++i) Tap(port, vk, ms);
}

}  // namespace

SeekPlan PlanSeek(long long target, std::optional<long long> rewindFrom, float total, float delay) {
  const double T = total;
  const double D = delay;
  const float F = static_cast<float>(T * 12.0);                               // big step
  const float G = static_cast<float>(T * 3.0);                                // medium step
  const float H = static_cast<float>(T * static_cast<double>(kSmallFactor));  // small step
  const double hOne = H < 1.0 ? 1.0 : static_cast<double>(H);  // below 1 s: whole seconds

  SeekPlan plan;
  plan.nDelayMs = DelayMs(delay);

  // Lead time c: how far the player plays on while the keys go out, estimated
  // from the presses the unshifted target needs.
  float p = static_cast<float>(target);
  float c = static_cast<float>(static_cast<double>(p) * D / F);
  const double m = std::fmod(static_cast<double>(p), static_cast<double>(F));
  p = static_cast<float>(m);
  c = static_cast<float>(m / G * D + c);
  const double r = std::fmod(static_cast<double>(p), static_cast<double>(G));
  const float back = static_cast<float>((20.0 - r / H + 1.0) * D);
  const float fwd = static_cast<float>(r / hOne * D);
  if (H > 1.0 && std::trunc(r / H) + 1.0 > 10.0) {
    c = static_cast<float>(static_cast<double>(c) + back);
  } else {
    c = static_cast<float>(static_cast<double>(c) + fwd);
  }
  plan.fLead = c;

  // Rewind: the first seek of a run takes the player to be within one medium
  // step of the start, so one bare Left. Otherwise enough big steps back from
  // the rewind origin to pass the start. A lead below zero (an empty target row
  // gives S = -61 and so a negative lead whenever D > 0) or not a number must not
  // shorten the rewind, or the player would be left short of the start and every
  // forward step would count from the wrong place: it adds nothing then. The
  // origin itself is taken as given.
  if (!rewindFrom) {
    plan.bFirst = TRUE;
  } else {
    const double lead = c > 0.0f ? static_cast<double>(c) : 0.0;
    plan.nRewind = ToCount(Quot((static_cast<double>(*rewindFrom) + lead) / F) + 1.0);
  }

  // Big steps from 0. The count and the remainder below must come from the same
  // stored position: a = S - c can sit just below a multiple of F while a rounded
  // to float is that multiple (S = 1440, T = 120, D = 1e-6), and counting from a
  // but dividing the float would drop a whole big step.
  const double a = static_cast<double>(target) - static_cast<double>(c);
  float pos = static_cast<float>(a);
  plan.nBig = ToCount(Quot(static_cast<double>(pos) / F));

  // Medium steps. The remainder of two floats is itself a float, so b and the
  // stored pos are the same value here.
  const double b = std::fmod(static_cast<double>(pos), static_cast<double>(F));
  pos = static_cast<float>(b);
  plan.nMedium = ToCount(Quot(b / G));

  // Small steps: (n + 1) small steps past the last medium boundary, the first
  // small-step mark strictly above S - c. More than 10 of them: one medium step
  // further and back with Shift+Left instead. With H below 1 s the stage counts
  // whole seconds and never overshoots.
  const double u = std::fmod(static_cast<double>(pos), static_cast<double>(G));
  const double n = Quot(u / H);
  if (H > 1.0 && n + 1.0 > 10.0) {
    plan.bOvershoot = TRUE;
    plan.nSmall = ToCount(19.0 - n);
  } else {
    plan.bOvershoot = FALSE;
    plan.nSmall = ToCount(Quot(u / hOne) + 1.0);
  }
  return plan;
}

void SendSeekPlan(const SeekPlan& plan, IInputPort& port) {
  // A plan may be built by hand: its pause is bounded like a planned one.
  int delayMs = plan.nDelayMs;
  if (delayMs < 0) delayMs = 0;
  if (delayMs > kMaxDelayMs) delayMs = kMaxDelayMs;
  const unsigned ms = static_cast<unsigned>(delayMs);

  // Rewind.
  if (plan.bFirst) {
    Tap(port, kVkLeft, ms);
  } else {
    port.KeyDown(kVkControl);
    Taps(port, kVkLeft, plan.nRewind, ms);
    port.KeyUp(kVkControl);
  }
  // Big steps.
  port.KeyDown(kVkControl);
  Taps(port, kVkRight, plan.nBig, ms);
  port.KeyUp(kVkControl);
  // Medium steps.
  Taps(port, kVkRight, plan.nMedium, ms);
  // Small steps.
  if (plan.bOvershoot) {
    Tap(port, kVkRight, ms);
    port.KeyDown(kVkShift);
    Taps(port, kVkLeft, plan.nSmall, ms);
    port.KeyUp(kVkShift);
  } else {
    port.KeyDown(kVkShift);
    Taps(port, kVkRight, plan.nSmall, ms);
    port.KeyUp(kVkShift);
  }
}

}  // namespace loreth
