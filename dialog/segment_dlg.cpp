#include "dialog/segment_dlg.h"

#include <algorithm>
#include <array>

#include "dialog/about_box.h"
#include "framework/ddx_text.h"

namespace {

using namespace layout;

struct CellRef {
  int row;     // 0..19
  int column;  // form column: start min, start sec, end min, end sec, loop
};

// The cells in the order the exchange visits them (and m_strCell holds them):
// end minutes 1-10, end seconds 1-10, end seconds 11-20, end minutes 11-20,
// start minutes 1-20, start seconds 1-20, loops 1-20.
constexpr std::array<CellRef, 100> BuildExchangeOrder() {
  std::array<CellRef, 100> order{};
  size_t n = 0;
  for (int r = 0; r < 10; ++r) order[n++] = {r, kEndMin};
  for (int r = 0; r < 10; ++r) order[n++] = {r, kEndSec};
  for (int r = 10; r < 20; ++r) order[n++] = {r, kEndSec};
  for (int r = 10; r < 20; ++r) order[n++] = {r, kEndMin};
  for (int r = 0; r < 20; ++r) order[n++] = {r, kStartMin};
  for (int r = 0; r < 20; ++r) order[n++] = {r, kStartSec};
  for (int r = 0; r < 20; ++r) order[n++] = {r, kLoop};
  return order;
}
constexpr std::array<CellRef, 100> kExchangeOrder = BuildExchangeOrder();

// Form column -> column of the table (0 end min, 1 end sec, 2 start min, 3 start sec, 4 plays).
constexpr int kTableColumn[kColumnCount] = {2, 3, 0, 1, 4};

const MessageMapEntry<CSegmentDlg> kMessageMap[] = {
    {Msg::SysCommand, 0, Notify::None, &CSegmentDlg::OnSysCommand},
    {Msg::Paint, 0, Notify::None, &CSegmentDlg::OnPaint},
    {Msg::QueryDragIcon, 0, Notify::None, &CSegmentDlg::OnQueryDragIcon},
    {Msg::Timer, 0, Notify::None, &CSegmentDlg::OnTimer},
    {Msg::Command, IDC_COPY_ROW, Notify::Clicked, &CSegmentDlg::OnCopyRow},
    {Msg::Command, IDC_CUT_ROW, Notify::Clicked, &CSegmentDlg::OnCutRow},
    {Msg::Command, IDC_PASTE_ROW, Notify::Clicked, &CSegmentDlg::OnPasteRow},
    {Msg::Command, IDC_DELETE_ROW, Notify::Clicked, &CSegmentDlg::OnDeleteRow},
    {Msg::LButtonDown, 0, Notify::None, &CSegmentDlg::OnLButtonDown},
    {Msg::Command, IDC_SET, Notify::Clicked, &CSegmentDlg::OnSet},
    {Msg::Command, IDC_OPEN, Notify::Clicked, &CSegmentDlg::OnOpen},
    {Msg::Command, IDC_SAVE, Notify::Clicked, &CSegmentDlg::OnSave},
    {Msg::Command, IDC_TOTAL, Notify::Change, &CSegmentDlg::OnCellChange},
    {Msg::Command, IDC_DELAY, Notify::Change, &CSegmentDlg::OnCellChange},
    {Msg::Close, 0, Notify::None, &CSegmentDlg::OnClose},
};

bool IsCellId(int id) {
  for (const RowLayout& row : kRows)
    for (int cell : row.cell)
      if (cell == id) return true;
  return false;
}

}  // namespace

CSegmentDlg::CSegmentDlg(loreth::IInputPort& port, CDialog* pParent)
    : CDialog(IDD, pParent), m_port(port) {
  for (int r = 0; r < kNumRows; ++r) EmptyTableRow(r);
  m_nRow = 1;
  m_fTotal = 120.0f;
  m_fDelay = 0.0f;
  m_hIcon = IDR_MAINFRAME;
  // The run state and the row clipboard get their values at initialisation or
  // when a run starts; they are given harmless values here all the same.
  m_nCurRow = m_nLoopsDone = m_nCountdownMs = m_nRowCount = 0;
  std::copy(std::begin(kEmptyRow), std::end(kEmptyRow), m_clipRow);
  m_bIdle = TRUE;
  m_bSingleRow = m_bFirstSeek = m_bPastLastRow = m_bNextRow = m_bSegmentOver = FALSE;
  m_bSaved = TRUE;
}

bool CSegmentDlg::OnWndMsg(const Message& m, intptr_t* result) {
  // The 100 cells share one change handler with the total and the delay.
  if (m.msg == Msg::Command && m.code == Notify::Change && IsCellId(m.id)) {
    OnCellChange();
    return true;
  }
  return Dispatch<CSegmentDlg>(*this, kMessageMap, m, result);
}

int32_t* CSegmentDlg::TableColumn(int c) {
  switch (c) {
    case 0:
      return m_nEndMin;
    case 1:
      return m_nEndSec;
    case 2:
      return m_nStartMin;
    case 3:
      return m_nStartSec;
    default:
      return m_nLoops;
  }
}

void CSegmentDlg::EmptyTableRow(int index) {
  for (int c = 0; c < 5; ++c) TableColumn(c)[index] = kEmptyRow[c];
}

void CSegmentDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  for (size_t k = 0; k < kExchangeOrder.size(); ++k) {
    const CellRef& cell = kExchangeOrder[k];
    DDX_Text(pDX, layout::kRows[cell.row].cell[cell.column], m_strCell[k]);
    DDV_MaxChars(pDX, m_strCell[k], CellLimit(cell.row, cell.column));
  }
  DDX_Text(pDX, IDC_ROW, m_nRow);
  DDV_MinMaxInt(pDX, m_nRow, 1, 20);
  DDX_Text(pDX, IDC_TOTAL, m_fTotal);
  DDV_MinMaxFloat(pDX, m_fTotal, 0.0f, 1000.0f);
  DDX_Text(pDX, IDC_DELAY, m_fDelay);
  DDV_MinMaxFloat(pDX, m_fDelay, 0.0f, 1000.0f);
  DDX_Text(pDX, IDC_FILENAME, m_strFileName);
}

void CSegmentDlg::CellsToTable() {
  for (size_t k = 0; k < kExchangeOrder.size(); ++k) {
    const CellRef& cell = kExchangeOrder[k];
    int c = kTableColumn[cell.column];
    TableColumn(c)[cell.row] = m_strCell[k].IsEmpty() ? kEmptyRow[c] : AtoiText(m_strCell[k]);
  }
}

void CSegmentDlg::TableToCells() {
  for (size_t k = 0; k < kExchangeOrder.size(); ++k) {
    const CellRef& cell = kExchangeOrder[k];
    int c = kTableColumn[cell.column];
    int32_t v = TableColumn(c)[cell.row];
    m_strCell[k] = v == kEmptyRow[c] ? CString() : IntToString(v);
  }
}

void CSegmentDlg::SetSaved(BOOL saved) {
  m_bSaved = saved;
  SetWindowTitle(saved ? "Loreth" : "Loreth *");
}

void CSegmentDlg::OnCellChange() {
  SetSaved(FALSE);
}

BOOL CSegmentDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (IWindowHost* host = Host(); host && host->HasSystemMenu()) {
    CString about = AfxGetBackend() ? AfxGetBackend()->LoadStringResource(IDS_ABOUTBOX) : CString();
    if (!about.IsEmpty()) {
      host->AppendSystemMenuSeparator();
      host->AppendSystemMenuItem(IDM_ABOUTBOX, about);
    }
  }
  if (IWindowHost* host = Host()) {
    host->SetIcon(m_hIcon, true);
    host->SetIcon(m_hIcon, false);
  }
  m_bIdle = TRUE;
  m_bSaved = TRUE;
  std::copy(std::begin(kEmptyRow), std::end(kEmptyRow), m_clipRow);
  return TRUE;
}

void CSegmentDlg::OnSysCommand(UINT nID, intptr_t lParam) {
  if ((nID & 0xFFF0u) == IDM_ABOUTBOX) {
    CAboutBox dlgAbout;
    dlgAbout.DoModal();
  } else {
    CDialog::OnSysCommand(nID, lParam);
  }
}

void CSegmentDlg::OnPaint() {
  if (IsIconic()) {
    Host()->DrawIconCentered(m_hIcon);
  } else {
    CDialog::OnPaint();
  }
}

IconHandle CSegmentDlg::OnQueryDragIcon() {
  return m_hIcon;
}

BOOL CSegmentDlg::ConfirmDiscard(const char* question) {
  return m_bSaved || AfxMessageBox(question, MB_YESNO | MB_SETFOREGROUND) == IDYES;
}

void CSegmentDlg::OnClose() {
  if (!ConfirmDiscard("Quit without saving?")) return;
  CDialog::OnClose();
}

// Esc asks the same question as the close box before unsaved edits are lost.
void CSegmentDlg::OnCancel() {
  if (!ConfirmDiscard("Quit without saving?")) return;
  CDialog::OnCancel();
}
