// The main form: the segment table and the state of a run, and every handler.
// segment_dlg.cpp: construction, shell (init, system menu, close), data exchange
//   and the conversions between cell texts and the table.
// segment_rows.cpp: COPY, CUT, PASTE, DELETE and the row pick.
// segment_file_cmds.cpp: Open and Save.
// segment_run.cpp: Set and the timer tick of a run.
#pragma once

#include <cstdint>
#include <span>

#include "framework/dialog.h"
#include "platform/input_port.h"
#include "res/form_layout.h"
#include "res/resource.h"

class CSegmentDlg : public CDialog {
 public:
  enum { IDD = IDD_SEGMENT_DIALOG };
  static constexpr int kNumRows = layout::kRowCount;
  static constexpr int kNumCells = kNumRows * layout::kColumnCount;
  // An empty row in the order of the arrays: four empty times, one play.
  static constexpr int32_t kEmptyRow[5] = {-1, -1, -1, -1, 1};

  explicit CSegmentDlg(loreth::IInputPort& port, CDialog* pParent = nullptr);
  ~CSegmentDlg() override = default;

  BOOL OnInitDialog() override;
  void OnCancel() override;

  // Conversions between the cell texts and the table.
  void CellsToTable();
  void TableToCells();

  // Handlers, as bound by the message map.
  void OnSysCommand(UINT nID, intptr_t lParam);
  void OnPaint();
  IconHandle OnQueryDragIcon();
  void OnClose();
  void OnTimer(uintptr_t nIDEvent);
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnSet();
  void OnOpen();
  void OnSave();
  void OnCopyRow();
  void OnCutRow();
  void OnPasteRow();
  void OnDeleteRow();
  void OnCellChange();

  // ---- members, in this order ----
  CString m_strPlayerTitle;
  // The segment table: five arrays of 20 rows, back to back; -1 marks an empty
  // time, 1 an empty (or single) play count.
  int32_t m_nEndMin[kNumRows];
  int32_t m_nEndSec[kNumRows];
  int32_t m_nStartMin[kNumRows];
  int32_t m_nStartSec[kNumRows];
  int32_t m_nLoops[kNumRows];
  int m_nCurRow;
  int m_nLoopsDone;
  int m_nCountdownMs;
  int m_nRowCount;
  int32_t m_clipRow[5];
  BOOL m_bIdle;
  BOOL m_bSingleRow;
  BOOL m_bFirstSeek;
  BOOL m_bPastLastRow;
  BOOL m_bNextRow;
  BOOL m_bSegmentOver;
  BOOL m_bSaved;
  CTime m_timeSegmentEnd;
  CString m_strCell[kNumCells];  // in exchange order
  int m_nRow;
  float m_fTotal;
  float m_fDelay;
  CString m_strFileName;
  IconHandle m_hIcon;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  bool OnWndMsg(const Message& m, intptr_t* result) override;

 private:
  // Column c of the table in the order of the arrays (0 end minute ... 4 plays).
  int32_t* TableColumn(int c);
  void EmptyTableRow(int index);
  // The modified marker: the flag and the title change together.
  void SetSaved(BOOL saved);
  BOOL ConfirmDiscard(const char* question);
  static bool IsValidRow(int row) { return row >= 1 && row <= kNumRows; }
  long long StartSecond(int index) const;
  long long EndSecond(int index) const;
  // Brings the player forward and sends one seek; false (and the run stopped with
  // a message) when no key could be sent to the player.
  bool SeekRow(int index, bool first);
  void StopRun();

  loreth::IInputPort& m_port;
  // Where the player really is after the last seek: the end second of the row
  // then played. Every rewind counts from here.
  long long m_nPlayerAtSec = 0;
  // Counts the timer ticks; a tick that ran a nested message loop sees whether
  // other ticks did its work meanwhile.
  unsigned m_nTickSerial = 0;
};
