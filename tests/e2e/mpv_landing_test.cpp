// Where a real player lands: seek plans sent through the X11 port to mpv,
// whose keys are bound to the three step sizes as relative seeks (a fifth, a
// twentieth and a four-hundredth of the recording), with the position read
// back over mpv's JSON IPC socket. The recording is a blank 7200 s video
// (T = 120 minutes), so every step target falls on a keyframe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/x11_input_port.h"
#include "playback/seek_planner.h"
#include "tests/e2e/e2e_support.h"

namespace loreth {
namespace {

using e2e::ChildProcess;
using e2e::IntendedLanding;
using e2e::kMpvLength;
using e2e::kMpvTotalMinutes;
using e2e::Median;
using e2e::MpvIpc;
using e2e::TempDir;
using e2e::WaitUntil;
using Clock = std::chrono::steady_clock;

constexpr double kTolerance = 0.1;

struct Target {
  long long start;                  // the row's start second S
  std::optional<long long> rewind;  // the end second E the player is at, or a first seek
};

std::string Describe(const Target& t) {
  std::string s = "S=" + std::to_string(t.start);
  s += t.rewind ? " after E=" + std::to_string(*t.rewind) : " (first seek)";
  return s;
}

class MpvLandingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (e2e::HaveMpv()) s_media = e2e::BlankVideo(LORETH_E2E_WORK_DIR);
  }

  void SetUp() override {
    if (!e2e::HaveMpv()) GTEST_SKIP() << "mpv or ffmpeg is not installed";
    if (!m_port.IsConnected()) GTEST_SKIP() << "no X display (run under xsession.sh)";
    ASSERT_FALSE(s_media.empty()) << "ffmpeg could not make the test video";

    const std::filesystem::path dir = m_dir.Path();
    m_title = "loreth landing " + std::to_string(::getpid());
    const std::string socket = dir / "mpv.sock";
    ASSERT_TRUE(e2e::StartMpv(m_mpv, dir, m_title, socket, s_media, /*paused=*/true));
    ASSERT_TRUE(WaitUntil([&] { return m_ipc.Connect(socket); })) << "no IPC socket";
    ASSERT_TRUE(WaitUntil([&] {
      return (m_window = m_port.FindWindowByTitle(CString::FromUtf8(m_title))) != 0;
    })) << "no mpv window titled "
        << m_title;
    std::optional<double> length;
    WaitUntil([&] { return (length = m_ipc.Number("duration")).has_value(); });
    ASSERT_TRUE(length.has_value());
    ASSERT_NEAR(*length, kMpvLength, 1e-6) << "the test video must be exactly 7200 s long";

    // A window of another program in front, as when the form has the focus.
    ASSERT_TRUE(m_decoy.Start(
        {KEY_RECORDER_PATH, "--title", m_title + " decoy", "--log", (dir / "decoy.log").string()}));
    ASSERT_EQ(m_decoy.ReadLine(), "ready");
    ASSERT_TRUE(WaitUntil([&] {
      return (m_decoyWindow = m_port.FindWindowByTitle(CString::FromUtf8(m_title + " decoy"))) != 0;
    }));
  }

  // Puts the player at `pos` (paused) and waits until it reports it.
  bool PlaceAt(double pos) {
    m_ipc.Command("\"seek\"," + std::to_string(pos) + ",\"absolute+exact\"");
    return WaitUntil([&] {
      std::optional<double> at = m_ipc.Number("time-pos");
      return at && std::fabs(*at - pos) < 1e-3;
    });
  }

  // The position once the player has stopped moving: the same for 300 ms and
  // no seek under way (at most a few seconds).
  double SettledPosition() {
    std::optional<double> last;
    auto since = Clock::now();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
      std::optional<double> now = m_ipc.Number("time-pos");
      bool seeking = m_ipc.Text("seeking").find("\"data\":true") != std::string::npos;
      if (!now || seeking || !last || std::fabs(*now - *last) > 1e-6) {
        last = now;
        since = Clock::now();
      } else if (Clock::now() - since >= std::chrono::milliseconds(300)) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return last.value_or(-1.0);
  }

  // One seek as the run controller makes it: the player is where the plan
  // believes it to be, another window is in front; raise, then send the keys.
  double Land(const Target& t, float delay, SeekPlan* planOut = nullptr) {
    const double start = t.rewind ? static_cast<double>(*t.rewind) : 0.0;
    EXPECT_TRUE(PlaceAt(start)) << Describe(t);
    EXPECT_TRUE(m_port.BringToFront(m_decoyWindow));
    SeekPlan plan = PlanSeek(t.start, t.rewind, kMpvTotalMinutes, delay);
    EXPECT_TRUE(m_port.BringToFront(m_window)) << Describe(t);
    SendSeekPlan(plan, m_port);
    if (planOut != nullptr) *planOut = plan;
    return SettledPosition();
  }

  static std::string s_media;
  TempDir m_dir;
  X11InputPort m_port;
  ChildProcess m_mpv;
  ChildProcess m_decoy;
  MpvIpc m_ipc;
  std::string m_title;
  WindowId m_window = 0;
  WindowId m_decoyWindow = 0;
};

std::string MpvLandingTest::s_media;

const Target kTargets[] = {
    {0, std::nullopt},    {60, std::nullopt},
    {330, std::nullopt},  {2000, std::nullopt},
    {4321, std::nullopt}, {7000, std::nullopt},
    {2000, 400},          {330, 6000},
    {5000, 5400},         {60, 90},
    {6999, 1234},
};

TEST_F(MpvLandingTest, LandsOnThePlannedMarkWithAPauseBetweenKeys) {
  std::ostringstream table;
  table << "| target | intended | actual, delay 0.05 s | actual, delay 0 s |\n"
        << "|---|---|---|---|\n";
  for (const Target& t : kTargets) {
    SeekPlan plan;
    const double landed = Land(t, 0.05f, &plan);
    const double start = t.rewind ? static_cast<double>(*t.rewind) : 0.0;
    const double intended = IntendedLanding(plan, start);
    EXPECT_NEAR(landed, intended, kTolerance) << Describe(t);

    // Without a pause mpv may replace a seek still under way by the next one:
    // measured, not asserted.
    SeekPlan plan0;
    const double landed0 = Land(t, 0.0f, &plan0);
    const double intended0 = IntendedLanding(plan0, start);
    char row[200];
    std::snprintf(row, sizeof row, "| %s | %.2f (%.2f at 0 s) | %.2f | %.2f |\n",
                  Describe(t).c_str(), intended, intended0, landed, landed0);
    table << row;
  }
  std::printf("\n%s\n", table.str().c_str());
}

TEST_F(MpvLandingTest, LeadTimeAimsEarlyWithALongPause) {
  // 33:20 after a row that ended at 6:40, keys 0.2 s apart: the lead time of
  // about 2.6 s makes the plan stop at 1998 rather than 2016.
  SeekPlan plan;
  const double landed = Land({2000, 400}, 0.2f, &plan);
  EXPECT_EQ(IntendedLanding(plan, 400), 1998.0);
  EXPECT_NEAR(landed, 1998.0, kTolerance);
}

TEST_F(MpvLandingTest, TimeFromRaiseToLastKeyWithoutPause) {
  const Target t{2000, 400};  // 13 arrow presses, 8 modifier events
  const SeekPlan plan = PlanSeek(t.start, t.rewind, kMpvTotalMinutes, 0.0f);
  std::vector<double> total, raise;
  for (int run = 0; run < 20; ++run) {
    ASSERT_TRUE(PlaceAt(static_cast<double>(*t.rewind)));
    ASSERT_TRUE(m_port.BringToFront(m_decoyWindow));
    e2e::TimingPort port(m_port);
    const auto t0 = Clock::now();
    ASSERT_TRUE(port.BringToFront(m_window));
    const auto t1 = Clock::now();
    SendSeekPlan(plan, port);
    raise.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    total.push_back(std::chrono::duration<double, std::milli>(port.lastKey - t0).count());
    SettledPosition();
  }
  std::printf(
      "\n%s, delay 0, 20 runs: raise %.2f ms median (max %.2f); raise to last key %.2f ms "
      "median (max %.2f)\n",
      Describe(t).c_str(), Median(raise), *std::max_element(raise.begin(), raise.end()),
      Median(total), *std::max_element(total.begin(), total.end()));
}

}  // namespace
}  // namespace loreth
