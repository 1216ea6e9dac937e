// A run: Set checks the rows and starts a countdown of four seconds during which
// the user brings the player forward; then every 100 ms tick decides whether a
// passage must start, seeks blind, and watches the wall clock for its end.
#include <algorithm>

#include "dialog/segment_dlg.h"
#include "playback/seek_planner.h"

namespace {
constexpr uintptr_t kRunTimer = 1;
constexpr int kCountdownMs = 4000;
constexpr int kTickMs = 100;

CString Quoted(const CString& s) {
  return CString("\"") + s + CString("\"");
}
}  // namespace

// Seconds are computed in 64 bits: minutes * 60 of any 32-bit value fits.
long long CSegmentDlg::StartSecond(int i) const {
  return m_nStartMin[i] * 60LL + m_nStartSec[i];
}
long long CSegmentDlg::EndSecond(int i) const {
  return m_nEndMin[i] * 60LL + m_nEndSec[i];
}

void CSegmentDlg::StopRun() {
  m_bIdle = TRUE;
  SetItemText(IDC_SET, "Set &S");
  KillTimer(kRunTimer);
}

void CSegmentDlg::OnSet() {
  if (!m_bIdle) {
    StopRun();
    return;
  }
  m_bFirstSeek = TRUE;
  m_bSingleRow = m_port.IsCtrlHeld();
  m_nCountdownMs = kCountdownMs;
  UpdateData(TRUE);
  CellsToTable();

  // Each time has both parts or neither ...
  for (int r = 0; r < kNumRows; ++r) {
    if ((m_nEndSec[r] == -1 && m_nEndMin[r] != -1) ||
        (m_nStartSec[r] == -1 && m_nStartMin[r] != -1) ||
        (m_nEndSec[r] != -1 && m_nEndMin[r] == -1) ||
        (m_nStartSec[r] != -1 && m_nStartMin[r] == -1))
      return;
  }
  // ... and no row ends before it starts (an empty time counts as -61).
  for (int r = 0; r < kNumRows; ++r)
    if (EndSecond(r) < StartSecond(r)) return;

  m_nRowCount = kNumRows;
  for (int r = 0; r < kNumRows; ++r) {
    if (m_nEndMin[r] == -1 && m_nEndSec[r] == -1 && m_nStartMin[r] == -1 && m_nStartSec[r] == -1) {
      m_nRowCount = r;
      break;
    }
  }
  m_nLoopsDone = 0;
  m_nCurRow = 0;
  m_bIdle = FALSE;
  SetItemText(IDC_SET, "5");
  SetTimer(kRunTimer, kTickMs);
}

bool CSegmentDlg::SeekRow(int index, bool first) {
  loreth::WindowId player = m_port.FindWindowByTitle(m_strPlayerTitle);
  CString problem;
  if (player != 0 && m_port.IsOwnWindow(player)) {
    problem =
        "Loreth's own window was in front at the end of the countdown. The run has stopped: "
        "press Set again and bring the player's window to the front during the countdown.";
  } else if (player == 0) {
    problem = CString("The player window %1 was not found. The run has stopped.")
                  .FormatMessageArgs(Quoted(m_strPlayerTitle));
  } else if (!m_port.BringToFront(player)) {
    problem =
        CString("The player window %1 could not be brought to the front. The run has stopped.")
            .FormatMessageArgs(Quoted(m_strPlayerTitle));
  }
  if (!problem.IsEmpty()) {
    // No key goes anywhere unless the player is the window in front.
    StopRun();
    AfxMessageBox(problem, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  std::optional<long long> from;
  if (!first) from = m_nPlayerAtSec;
  loreth::SeekPlan plan = loreth::PlanSeek(StartSecond(index), from, m_fTotal, m_fDelay);
  loreth::SendSeekPlan(plan, m_port);
  m_nPlayerAtSec = EndSecond(index);
  m_timeSegmentEnd = m_port.Now() + CTimeSpan(0, 0, 0, EndSecond(index) - StartSecond(index));
  return true;
}

void CSegmentDlg::OnTimer(uintptr_t nIDEvent) {
  if (m_bIdle) return;  // a tick already queued when the run stopped
  unsigned serial = ++m_nTickSerial;
  // Falls by 100 every tick and stops at 0, so a run of any length never wraps.
  m_nCountdownMs = std::max(m_nCountdownMs - kTickMs, 0);
  if (m_nCountdownMs > 0) {
    SetItemText(IDC_SET, IntToString(m_nCountdownMs / 1000));
    // With no window in front (activation changing hands) keep the last title.
    if (loreth::WindowId front = m_port.ForegroundWindow())
      m_strPlayerTitle = m_port.WindowTitle(front);
    return;
  }
  SetItemText(IDC_SET, "Quit");
  m_bPastLastRow = m_nCurRow >= m_nRowCount;
  CTime now = m_port.Now();
  // A failure is reported once, not ten times a second; a tick arriving while
  // that report is open skips its own exchange (UpdateData refuses to nest).
  UpdateDataRepeated();
  if (m_bIdle || serial != m_nTickSerial) return;  // ticks of a nested loop did this one's work
  if (m_bSingleRow && IsValidRow(m_nRow)) m_nCurRow = m_nRow - 1;

  bool sought = true;
  if (m_bFirstSeek) {
    m_bNextRow = FALSE;
    m_bFirstSeek = FALSE;
    sought = SeekRow(m_nCurRow, true);
  } else if (m_bSegmentOver) {
    m_bSegmentOver = FALSE;
    sought = SeekRow(m_nCurRow, false);
  } else if (m_bNextRow) {
    m_bNextRow = FALSE;
    int k = m_bPastLastRow ? 0 : m_nCurRow;
    sought = SeekRow(k, false);
    m_nCurRow = k;
  }
  if (!sought) return;

  m_bSegmentOver = now >= m_timeSegmentEnd;
  if (m_bSegmentOver && !m_bSingleRow) {
    m_nLoopsDone += 1;
    if (m_nLoopsDone + 1LL > m_nLoops[m_nCurRow]) {
      m_bSegmentOver = FALSE;
      m_bNextRow = TRUE;
      m_nCurRow += 1;
      m_nLoopsDone = 0;
    }
  }
  CDialog::OnTimer(nIDEvent);
}
