// COPY, CUT, PASTE, DELETE and the row pick. The row is the one the row field
// names; after the row field's range message it may name no row at all, and
// then the commands leave the table and the row clipboard alone.
#include "dialog/segment_dlg.h"

void CSegmentDlg::OnCopyRow() {
  UpdateData(TRUE);
  CellsToTable();
  if (!IsValidRow(m_nRow)) return;
  int i = m_nRow - 1;
  for (int c = 0; c < 5; ++c) m_clipRow[c] = TableColumn(c)[i];
}

void CSegmentDlg::OnDeleteRow() {
  SetSaved(FALSE);
  UpdateData(TRUE);
  CellsToTable();
  bool removeRow = m_port.IsCtrlHeld();
  if (IsValidRow(m_nRow)) {
    int emptied = m_nRow - 1;
    if (removeRow) {
      // Close the gap: every row below moves up one; row 20 becomes empty.
      for (int i = emptied; i < kNumRows - 1; ++i)
        for (int c = 0; c < 5; ++c) TableColumn(c)[i] = TableColumn(c)[i + 1];
      emptied = kNumRows - 1;
    }
    EmptyTableRow(emptied);
  }
  TableToCells();
  UpdateData(FALSE);
}

void CSegmentDlg::OnCutRow() {
  OnCopyRow();
  OnDeleteRow();
}

void CSegmentDlg::OnPasteRow() {
  SetSaved(FALSE);
  UpdateData(TRUE);
  CellsToTable();
  if (IsValidRow(m_nRow)) {
    // Every row from this one down moves down one; the old row 20 is lost.
    for (int i = kNumRows - 1; i >= m_nRow; --i)
      for (int c = 0; c < 5; ++c) TableColumn(c)[i] = TableColumn(c)[i - 1];
    for (int c = 0; c < 5; ++c) TableColumn(c)[m_nRow - 1] = m_clipRow[c];
  }
  TableToCells();
  UpdateData(FALSE);
}

// A press on the form itself (its background or a static text): a press on a
// row label picks that row.
void CSegmentDlg::OnLButtonDown(UINT nFlags, CPoint point) {
  UpdateData(TRUE);
  ClientToScreen(point);
  for (int r = 0; r < kNumRows; ++r) {
    CRect rect;
    if (GetItemScreenRect(layout::kRows[r].labelId, rect) && rect.PtInRect(point)) m_nRow = r + 1;
  }
  UpdateData(FALSE);
  CDialog::OnLButtonDown(nFlags, point);
}
