// The blind seek: the plan's counts and the exact key sequence on a recording
// port, for the known situations, the mended rounding faults and extreme inputs.
#include "playback/seek_planner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/recording/recording_port.h"

namespace loreth {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Where exact steps of a player at 0 take it (stepping back past 0 stops at 0),
// with the steps of a total of `total` minutes. Only the forward stages count:
// every rewind is meant to reach 0.
double Landing(const SeekPlan& plan, float total) {
  const double F = static_cast<float>(total * 12.0);
  const double G = static_cast<float>(total * 3.0);
  const double H = static_cast<float>(total * static_cast<double>(0.15f));
  double pos = 0.0;
  pos += F * std::max(plan.nBig, 0);
  pos += G * std::max(plan.nMedium, 0);
  if (plan.bOvershoot) {
    pos += G;
    pos = std::max(0.0, pos - H * std::max(plan.nSmall, 0));
  } else {
    pos += H * std::max(plan.nSmall, 0);
  }
  return pos;
}

std::string Keys(const SeekPlan& plan) {
  RecordingPort port;
  SendSeekPlan(plan, port);
  return port.KeyLog();
}

struct Case {
  const char* name;
  long long target;
  std::optional<long long> rewindFrom;
  float total;
  float delay;
  // The plan.
  int nRewind, nBig, nMedium;
  BOOL bOvershoot;
  int nSmall, nDelayMs;
  std::optional<float> lead;      // checked exactly when given
  std::optional<double> landing;  // exact steps from 0, when given
  std::string keys;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class SeekPlanCases : public ::testing::TestWithParam<Case> {};

TEST_P(SeekPlanCases, PlanAndKeys) {
  const Case& k = GetParam();
  const SeekPlan plan = PlanSeek(k.target, k.rewindFrom, k.total, k.delay);
  EXPECT_EQ(plan.bFirst, k.rewindFrom ? FALSE : TRUE);
  if (k.rewindFrom) {
    EXPECT_EQ(plan.nRewind, k.nRewind);
  }
  EXPECT_EQ(plan.nBig, k.nBig);
  EXPECT_EQ(plan.nMedium, k.nMedium);
  EXPECT_EQ(plan.bOvershoot, k.bOvershoot);
  EXPECT_EQ(plan.nSmall, k.nSmall);
  EXPECT_EQ(plan.nDelayMs, k.nDelayMs);
  if (k.lead) {
    EXPECT_EQ(plan.fLead, *k.lead);
  }
  if (k.landing) {
    EXPECT_EQ(Landing(plan, k.total), *k.landing);
  }
  EXPECT_EQ(Keys(plan), k.keys);
}

const Case kCases[] = {
    // T = 120: F = 1440, G = 360, H = 18.
    {"FirstSeekOvershoots", 330, std::nullopt, 120, 0, 0, 0, 0, TRUE, 1, 0, 0.0f, 342.0,
     KeyText().Tap('L', 1, 0).Held('C', 'R', 0, 0).Tap('R', 1, 0).Held('S', 'L', 1, 0)},
    {"FirstSeekSmallSteps", 60, std::nullopt, 120, 0, 0, 0, 0, FALSE, 4, 0, 0.0f, 72.0,
     KeyText().Tap('L', 1, 0).Held('C', 'R', 0, 0).Held('S', 'R', 4, 0)},
    {"NewRowWithDelay", 2000, 400, 120, 0.2f, 1, 1, 1, TRUE, 9, 200, 2.5666666f, 1998.0,
     KeyText()
         .Held('C', 'L', 1, 200)
         .Held('C', 'R', 1, 200)
         .Tap('R', 1, 200)
         .Tap('R', 1, 200)
         .Held('S', 'L', 9, 200)},
    {"TargetZeroLandsOnFirstSmallStep", 0, std::nullopt, 120, 0, 0, 0, 0, FALSE, 1, 0, 0.0f, 18.0,
     KeyText().Tap('L', 1, 0).Held('C', 'R', 0, 0).Held('S', 'R', 1, 0)},
    {"ReplayToZero", 0, 1800, 120, 0, 2, 0, 0, FALSE, 1, 0, 0.0f, 18.0,
     KeyText().Held('C', 'L', 2, 0).Held('C', 'R', 0, 0).Held('S', 'R', 1, 0)},
    {"NineteenSmallStepsOvershootWithNoShiftArrow", 350, std::nullopt, 120, 0, 0, 0, 0, TRUE, 0, 0,
     0.0f, 360.0, KeyText().Tap('L', 1, 0).Held('C', 'R', 0, 0).Tap('R', 1, 0).Down('S').Up('S')},
    // T = 0: every step is 0, the lead is not a number, quotients count 0.
    {"ZeroTotalFirst", 330, std::nullopt, 0, 0, 0, 0, 0, FALSE, 1, 0, std::nullopt, std::nullopt,
     KeyText().Tap('L', 1, 0).Held('C', 'R', 0, 0).Held('S', 'R', 1, 0)},
    {"ZeroTotalReplay", 330, 400, 0, 0, 1, 0, 0, FALSE, 1, 0, std::nullopt, std::nullopt,
     KeyText().Held('C', 'L', 1, 0).Held('C', 'R', 0, 0).Held('S', 'R', 1, 0)},
    // T = 5: F = 60, G = 15, H = 0.75 < 1: the small stage counts whole seconds.
    {"SmallStepBelowOneSecond", 85, std::nullopt, 5, 0, 0, 1, 1, FALSE, 11, 0, 0.0f, 83.25,
     KeyText().Tap('L', 1, 0).Held('C', 'R', 1, 0).Tap('R', 1, 0).Held('S', 'R', 11, 0)},
    // An empty row (S = -61): no forward arrow at all, the rewind as usual.
    {"EmptyRowFirst", -61, std::nullopt, 120, 0, 0, 0, 0, FALSE, -2, 0, std::nullopt, 0.0,
     KeyText().Tap('L', 1, 0).Held('C', 'R', 0, 0).Down('S').Up('S')},
    {"EmptyRowReplay", -61, 400, 120, 0, 1, 0, 0, FALSE, -2, 0, std::nullopt, 0.0,
     KeyText().Held('C', 'L', 1, 0).Held('C', 'R', 0, 0).Down('S').Up('S')},
    // S - c just below a big step while S - c as a float is on it: the whole big
    // step must be counted (it used to land at 18 s instead of past 24:00).
    {"BigStepNotLostToRounding", 1440, std::nullopt, 120, 0.000001f, 0, 1, 0, FALSE, 1, 0,
     std::nullopt, 1458.0, KeyText().Tap('L', 1, 0).Held('C', 'R', 1, 0).Held('S', 'R', 1, 0)},
    // An empty target row with a delay makes the lead negative (about -3.6 s);
    // that must not shorten the rewind from 24:00 to one big step.
    {"NegativeLeadKeepsFullRewind", -61, 1440, 120, 1.0f, 2, 0, 0, FALSE, -2, 1000, std::nullopt,
     0.0, KeyText().Held('C', 'L', 2, 1000).Held('C', 'R', 0, 1000).Down('S').Up('S')},
};

INSTANTIATE_TEST_SUITE_P(Seeks, SeekPlanCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SeekPlanTest, NegativeLeadIsReallyNegative) {
  const SeekPlan plan = PlanSeek(-61, 1440, 120, 1.0f);
  EXPECT_LT(plan.fLead, -3.0f);
}

TEST(SeekPlanTest, FirstSeekEveryTargetLandsOnFirstSmallMarkAfterIt) {
  // No delay: the player lands on the first small-step mark strictly above S.
  for (long long s = 0; s < 120 * 60; ++s) {
    const SeekPlan plan = PlanSeek(s, std::nullopt, 120, 0);
    const double land = Landing(plan, 120);
    ASSERT_GT(land, s) << "S = " << s;
    ASSERT_LE(land, s + 18) << "S = " << s;
  }
}

TEST(SeekPlanTest, WithDelayTheLandingFollowsTheLead) {
  // With a lead c the mark is the first one above S - c; a tiny delay puts
  // S - c just below every multiple of a step, where rounding used to bite.
  for (float delay : {0.000001f, 0.2f, 1.0f}) {
    for (long long s = 0; s < 120 * 60; ++s) {
      const SeekPlan plan = PlanSeek(s, std::nullopt, 120, delay);
      const double aim = static_cast<double>(s) - plan.fLead;
      const double land = Landing(plan, 120);
      ASSERT_GT(land, aim - 0.001) << "S = " << s << ", D = " << delay;
      ASSERT_LE(land, aim + 18.001) << "S = " << s << ", D = " << delay;
    }
  }
}

TEST(SeekPlanTest, RewindAlwaysPassesTheStart) {
  // From a player at E (or further, by the lead), the Ctrl+Left steps reach 0.
  for (long long e : {0LL, 59LL, 400LL, 1439LL, 1440LL, 7199LL}) {
    for (long long s : {-61LL, 0LL, 330LL, 2000LL, 7000LL}) {
      for (float delay : {0.0f, 0.2f, 1.0f, 5.0f}) {
        const SeekPlan plan = PlanSeek(s, e, 120, delay);
        EXPECT_GT(1440.0 * plan.nRewind, static_cast<double>(e))
            << "E = " << e << ", S = " << s << ", D = " << delay;
      }
    }
  }
}

TEST(SeekPlanTest, DelayInWholeMilliseconds) {
  struct {
    float delay;
    int ms;
  } const cases[] = {
      {0.0f, 0},    {0.1f, 100}, {0.7f, 699},          {0.2f, 200},
      {1.0f, 1000}, {-1.0f, 0},  {-0.0001f, 0},        {kNaN, 0},
      {kInf, 0},    {-kInf, 0},  {1e30f, kMaxDelayMs}, {1000.0f, kMaxDelayMs},
      {1e-30f, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlanSeek(330, std::nullopt, 120, c.delay).nDelayMs, c.ms) << "D = " << c.delay;
  }
}

TEST(SendSeekPlanTest, HandMadePlanIsBounded) {
  SeekPlan plan;
  plan.nRewind = std::numeric_limits<int>::max();
  plan.nBig = std::numeric_limits<int>::min();
  plan.nMedium = -5;
  plan.nSmall = std::numeric_limits<int>::max();
  plan.nDelayMs = -7;
  RecordingPort port;
  SendSeekPlan(plan, port);
  EXPECT_EQ(port.CountDown(kVkLeft), kMaxPresses);
  EXPECT_EQ(port.CountDown(kVkRight), kMaxPresses);
  EXPECT_EQ(port.sleptMs, 0u);
}

// Values a form or a file can hold, and worse: nothing may crash (this runs
// under UBSan), every count stays within +-kMaxPresses, the pause within
// [0, kMaxDelayMs], and the keys sent are well formed.
TEST(SeekPlanTest, ExtremeInputsStayBounded) {
  const float reals[] = {0.0f, -1.0f, kNaN, kInf, -kInf, 1e-30f, 1e30f, 1000.0f};
  const long long seconds[] = {INT32_MIN * 60LL, -61, 0, INT32_MAX * 60LL + 59};
  std::vector<std::optional<long long>> origins = {std::nullopt};
  for (long long e : seconds) origins.push_back(e);

  for (float total : reals) {
    for (float delay : reals) {
      for (long long target : seconds) {
        for (const auto& from : origins) {
          const SeekPlan plan = PlanSeek(target, from, total, delay);
          SCOPED_TRACE(::testing::Message()
                       << "T = " << total << ", D = " << delay << ", S = " << target
                       << ", E = " << (from ? std::to_string(*from) : "none"));
          for (int n : {plan.nRewind, plan.nBig, plan.nMedium, plan.nSmall}) {
            ASSERT_GE(n, -kMaxPresses);
            ASSERT_LE(n, kMaxPresses);
          }
          ASSERT_GE(plan.nDelayMs, 0);
          ASSERT_LE(plan.nDelayMs, kMaxDelayMs);

          RecordingPort port;
          SendSeekPlan(plan, port);
          int held = 0;
          int arrows = 0;
          int pauses = 0;
          for (const RecordedEvent& e : port.events) {
            if (e.kind == RecordedEvent::Sleep) {
              ++pauses;
              ASSERT_EQ(e.value, static_cast<unsigned>(plan.nDelayMs));
            } else if (e.value == kVkControl || e.value == kVkShift) {
              held += e.kind == RecordedEvent::Down ? 1 : -1;
              ASSERT_GE(held, 0);
              ASSERT_LE(held, 1);
            } else if (e.kind == RecordedEvent::Down) {
              ++arrows;
            }
          }
          ASSERT_EQ(held, 0);  // every modifier pressed is released
          ASSERT_EQ(pauses, arrows);
        }
      }
    }
  }
}

}  // namespace
}  // namespace loreth
