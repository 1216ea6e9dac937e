// Set and the run's timer ticks on the in-memory backend with a recording desktop
// and a fake clock: an hour of ticks runs in milliseconds.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "playback/seek_planner.h"
#include "tests/unit/form_fixture.h"

namespace {

constexpr loreth::WindowId kPlayer = 7;
constexpr loreth::WindowId kForm = 1;

// The keys one seek sends: the planner's plan through a fresh recording port.
std::string SeekKeys(long long target, std::optional<long long> from, float total = 120,
                     float delay = 0) {
  loreth::RecordingPort p;
  loreth::SendSeekPlan(loreth::PlanSeek(target, from, total, delay), p);
  return p.KeyLog();
}

struct RunFixture : Form {
  RunFixture() {
    port.AddWindow(kPlayer, "Player - practice.mkv");
    port.AddWindow(kForm, "Loreth", true);
    port.foreground = kPlayer;
    port.SetNow(1000);
  }
  // Set, then the 39 countdown ticks; the next tick makes the first seek.
  void StartAndCountDown() {
    host->Click(IDC_SET);
    for (int i = 0; i < 39; ++i) host->Tick();
  }
  // One tick; returns the keys it sent.
  std::string TickKeys() {
    port.ClearLog();
    host->Tick();
    return port.KeyLog();
  }
};

TEST(RunController, CountdownLabelsAndTitleCapture) {
  RunFixture r;
  r.TypeRow(1, "0", "10", "0", "20");
  r.host->Click(IDC_SET);
  EXPECT_EQ(r.host->Text(IDC_SET), "5");
  EXPECT_TRUE(r.host->timerRunning);
  EXPECT_EQ(r.host->timerElapse, 100u);
  std::string labels;
  for (int i = 0; i < 39; ++i) {
    if (i == 38) r.port.foreground = 0;  // activation changing hands: keep the last title
    r.host->Tick();
    labels += r.host->Text(IDC_SET);
  }
  EXPECT_EQ(labels, std::string(10, '3') + std::string(10, '2') + std::string(10, '1') +
                        std::string(9, '0'));
  EXPECT_EQ(r.dlg.m_strPlayerTitle, CString("Player - practice.mkv"));
  EXPECT_TRUE(r.port.KeyLog().empty()) << "no key during the countdown";
  EXPECT_EQ(r.TickKeys(), SeekKeys(10, std::nullopt));
  EXPECT_EQ(r.host->Text(IDC_SET), "Quit");
}

TEST(RunController, WorkedRunSeekBySeek) {
  RunFixture r;
  r.TypeRow(1, "0", "10", "0", "20", "2");
  r.TypeRow(2, "1", "0", "1", "5", "1");
  r.StartAndCountDown();
  EXPECT_EQ(r.TickKeys(), SeekKeys(10, std::nullopt)) << "first seek to row 1";
  EXPECT_EQ(r.dlg.m_nRowCount, 2);
  r.port.Advance(9);
  EXPECT_EQ(r.TickKeys(), "") << "row 1 still playing";
  r.port.Advance(1);
  EXPECT_EQ(r.TickKeys(), "") << "the end is seen; the replay follows on the next tick";
  EXPECT_EQ(r.TickKeys(), SeekKeys(10, 20)) << "replay of row 1, rewinding from 20 s";
  r.port.Advance(10);
  r.host->Tick();  // second play over: advance to row 2
  EXPECT_EQ(r.dlg.m_nCurRow, 1);
  EXPECT_EQ(r.TickKeys(), SeekKeys(60, 20)) << "row 2, rewinding from row 1's end";
  r.port.Advance(5);
  r.host->Tick();
  EXPECT_EQ(r.TickKeys(), SeekKeys(10, 65)) << "back to row 1 from row 2's end";
  EXPECT_EQ(r.dlg.m_nCurRow, 0);
  r.host->Click(IDC_SET);  // Quit
  EXPECT_EQ(r.host->Text(IDC_SET), "Set &S");
  EXPECT_FALSE(r.host->timerRunning);
  EXPECT_TRUE(r.dlg.m_bIdle);
}

TEST(RunController, AnHourOfTicksPlaysEveryRowItsNumberOfTimes) {
  RunFixture r;
  r.TypeRow(1, "0", "10", "0", "20", "3");
  r.TypeRow(2, "1", "0", "1", "5", "2");
  r.TypeRow(3, "2", "0", "2", "30");
  r.StartAndCountDown();
  std::vector<std::string> seeks;
  // One hour: 36000 ticks of 100 ms.
  for (int i = 0; i < 36000; ++i) {
    std::string keys = r.TickKeys();
    if (!keys.empty()) seeks.push_back(keys);
    r.port.AdvanceMs(100);
  }
  // Each cycle: row 1 three times, row 2 twice, row 3 once.
  std::vector<std::string> cycle = {SeekKeys(10, 20), SeekKeys(10, 20),  SeekKeys(60, 20),
                                    SeekKeys(60, 65), SeekKeys(120, 65), SeekKeys(10, 150)};
  ASSERT_GT(seeks.size(), 12u);
  EXPECT_EQ(seeks[0], SeekKeys(10, std::nullopt));
  for (size_t i = 1; i < seeks.size(); ++i) EXPECT_EQ(seeks[i], cycle[(i - 1) % 6]) << i;
  EXPECT_EQ(r.dlg.m_nCountdownMs, 0) << "the countdown stays at 0 instead of running down";
}

TEST(RunController, QuitDuringCountdownSendsNothing) {
  RunFixture r;
  r.TypeRow(1, "0", "10", "0", "20");
  r.host->Click(IDC_SET);
  for (int i = 0; i < 20; ++i) r.host->Tick();
  r.host->Click(IDC_SET);
  EXPECT_EQ(r.host->Text(IDC_SET), "Set &S");
  EXPECT_FALSE(r.host->timerRunning);
  for (int i = 0; i < 30; ++i) r.host->Tick();  // ticks already queued do nothing
  EXPECT_EQ(r.port.KeyLog(), "");
}

TEST(RunController, FailedChecksAtSetAreSilent) {
  struct {
    const char* sm;
    const char* ss;
    const char* em;
    const char* es;
    bool starts;
  } cases[] = {
      {"0", "10", "0", "5", false},  // ends before it starts
      {"0", "", "0", "20", false},   // start second missing
      {"", "10", "0", "20", false},  // start minute missing
      {"0", "10", "0", "", false},   // end second missing
      {"0", "10", "", "", false},    // only a start
      {"", "", "0", "20", true},     // only an end: played from -61 s
      {"0", "10", "0", "10", true},  // zero length
  };
  for (auto& c : cases) {
    RunFixture r;
    r.TypeRow(3, c.sm, c.ss, c.em, c.es);
    r.host->Click(IDC_SET);
    EXPECT_EQ(!r.dlg.m_bIdle, c.starts) << c.sm << ":" << c.ss << "-" << c.em << ":" << c.es;
    EXPECT_EQ(r.host->Text(IDC_SET), c.starts ? "5" : "Set &S");
    EXPECT_TRUE(r.host->messageBoxes.empty());
  }
}

TEST(RunController, ChecksCompareTrueSecondsWithoutOverflow) {
  RunFixture r;
  // 35791394 minutes and 59 s is past 2^31 seconds: in 32 bits the end would wrap
  // below the start and the row would be refused.
  r.dlg.m_nEndMin[0] = 35791394;
  r.dlg.m_nEndSec[0] = 59;
  r.dlg.m_nStartMin[0] = 0;
  r.dlg.m_nStartSec[0] = 0;
  r.dlg.TableToCells();
  r.dlg.UpdateData(FALSE);
  // The cell is too long for the exchange, so the cells are read up to it and the
  // table keeps what the conversion gives: the long text still converts whole.
  r.host->Click(IDC_SET);
  EXPECT_FALSE(r.dlg.m_bIdle);
}

TEST(RunController, SingleRowModeFollowsTheRowField) {
  RunFixture r;
  r.TypeRow(1, "0", "10", "0", "20");
  r.TypeRow(3, "25", "0", "25", "0");  // ends at 1500 s
  r.TypeRow(4, "1", "30", "1", "40");  // ends at 100 s
  r.SetField(IDC_ROW, "3");
  r.port.ctrlHeld = true;
  r.StartAndCountDown();
  r.port.ctrlHeld = false;
  EXPECT_EQ(r.TickKeys(), SeekKeys(1500, std::nullopt)) << "first seek to row 3";
  r.port.Advance(1);
  r.host->Tick();
  EXPECT_EQ(r.TickKeys(), SeekKeys(1500, 1500)) << "replays row 3 from its own end";
  // The user picks row 4: the rewind still counts from where the player is (1500 s).
  r.host->LeftClickAt(r.host->CenterOf(1031));
  EXPECT_EQ(r.TickKeys(), SeekKeys(90, 1500));
  EXPECT_EQ(r.dlg.m_nLoopsDone, 0) << "single-row mode does not count plays";
  r.port.Advance(10);
  r.host->Tick();  // row 4's play is over
  // After the row field's range message the run keeps playing the last valid row.
  r.SetField(IDC_ROW, "21");
  EXPECT_EQ(r.TickKeys(), SeekKeys(90, 100));
  EXPECT_EQ(r.dlg.m_nCurRow, 3);
  EXPECT_EQ(r.LastMessage(), "Please enter an integer between 1 and 20.");
  r.port.Advance(10);
  r.host->Tick();
  EXPECT_EQ(r.TickKeys(), SeekKeys(90, 100));
  EXPECT_EQ(r.host->messageBoxes.size(), 1u) << "the failure is reported once";
}

TEST(RunController, FirstRowWithoutATimeTargetsRowOneOverAndOver) {
  RunFixture r;
  r.StartAndCountDown();
  EXPECT_EQ(r.dlg.m_nRowCount, 0);
  EXPECT_EQ(r.TickKeys(), SeekKeys(-61, std::nullopt));
  int seeks = 0;
  for (int i = 0; i < 20; ++i) {
    if (!r.TickKeys().empty()) ++seeks;
    r.port.AdvanceMs(500);
  }
  EXPECT_GE(seeks, 5) << "a zero-length play is over at once";
}

TEST(RunController, NoKeyUnlessThePlayerIsInFront) {
  struct {
    const char* name;
    std::function<void(RunFixture&)> arrange;
    const char* messageStart;
  } cases[] = {
      {"player closed", [](RunFixture&) {},
       "The player window \"Player - practice.mkv\" was not found."},
      {"raise refused", [](RunFixture& r) { r.port.failRaise = true; },
       "The player window \"Player - practice.mkv\" could not be brought to the front."},
      {"own window in front", [](RunFixture& r) { r.port.foreground = kForm; },
       "Loreth's own window was in front"},
      {"no title captured", [](RunFixture& r) { r.port.windows[kPlayer] = ""; },
       "The player window \"\" was not found."},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture r;
    r.TypeRow(1, "0", "10", "0", "20");
    r.host->Click(IDC_SET);
    c.arrange(r);
    for (int i = 0; i < 39; ++i) r.host->Tick();
    if (std::string(c.name) == "player closed") r.port.windows.erase(kPlayer);
    r.host->Tick();
    EXPECT_EQ(r.port.KeyLog(), "");
    EXPECT_TRUE(r.dlg.m_bIdle);
    EXPECT_FALSE(r.host->timerRunning);
    EXPECT_EQ(r.host->Text(IDC_SET), "Set &S");
    ASSERT_EQ(r.host->messageBoxes.size(), 1u);
    EXPECT_EQ(r.LastMessage().rfind(c.messageStart, 0), 0u) << r.LastMessage();
  }
}

TEST(RunController, ValidationFailureDuringARunIsReportedOnceAndTheRunGoesOn) {
  RunFixture r;
  r.TypeRow(1, "0", "10", "0", "11");
  r.StartAndCountDown();
  r.host->Tick();  // first seek
  r.SetField(IDC_TOTAL, "x");
  int nestedTicks = 0;
  r.host->onMessageBox = [&](const ShownMessageBox&) {
    // Ticks keep arriving while the box is open; they skip their exchange.
    for (int i = 0; i < 5; ++i) {
      r.port.Advance(1);
      r.host->Tick();
      ++nestedTicks;
    }
  };
  for (int i = 0; i < 30; ++i) {
    r.port.AdvanceMs(100);
    r.host->Tick();
  }
  EXPECT_EQ(r.host->messageBoxes.size(), 1u);
  EXPECT_EQ(nestedTicks, 5);
  EXPECT_GT(r.port.CountDown(loreth::kVkRight), 2) << "the run went on seeking";
  EXPECT_EQ(r.dlg.m_fTotal, 120.0f) << "with the last value the exchange stored";
  r.SetField(IDC_TOTAL, "60");
  r.host->Tick();
  r.SetField(IDC_TOTAL, "y");
  r.host->onMessageBox = nullptr;
  r.host->Tick();
  EXPECT_EQ(r.host->messageBoxes.size(), 2u) << "a new failure after a good read is reported";
}

TEST(RunController, CtrlIsOnlyAHeldKey) {
  RunFixture r;
  r.TypeRow(1, "0", "10", "0", "20");
  r.port.ctrlHeld = false;
  r.host->Click(IDC_SET);
  EXPECT_FALSE(r.dlg.m_bSingleRow);
}

}  // namespace
