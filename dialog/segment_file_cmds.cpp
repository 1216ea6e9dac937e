// Open and Save of the 408-byte segment file. The sheet counts as saved only once
// a file has really been read or written whole; any failure is reported with the
// file's name and its cause, and leaves the sheet and its marker as they were.
#include <algorithm>
#include <utility>

#include "dialog/segment_dlg.h"
#include "file/segment_file.h"

namespace {

const char* const kFilterDescription = ".txt files(*.txt)";
const char* const kFilterPattern = "*.txt";

// The table's five arrays and the file's five columns, in the file's order.
using DlgColumn = int32_t (CSegmentDlg::*)[CSegmentDlg::kNumRows];
using FileColumn = int32_t (SegmentTable::*)[kSegmentRows];
constexpr std::pair<DlgColumn, FileColumn> kColumns[] = {
    {&CSegmentDlg::m_nEndMin, &SegmentTable::nEndMin},
    {&CSegmentDlg::m_nEndSec, &SegmentTable::nEndSec},
    {&CSegmentDlg::m_nStartMin, &SegmentTable::nStartMin},
    {&CSegmentDlg::m_nStartSec, &SegmentTable::nStartSec},
    {&CSegmentDlg::m_nLoops, &SegmentTable::nLoops},
};

// The file's name without its folder and without the part from its last ".".
CString FileTitleOf(const CString& path) {
  const std::u16string& p = path.Str();
  size_t slash = p.find_last_of(u"/\\");
  std::u16string name = slash == std::u16string::npos ? p : p.substr(slash + 1);
  size_t dot = name.find_last_of(u'.');
  if (dot != std::u16string::npos) name.resize(dot);
  return CString(std::move(name));
}

}  // namespace

void CSegmentDlg::OnOpen() {
  if (!ConfirmDiscard("Close without saving?")) return;
  FileDialogRequest request;
  request.open = true;
  request.filterDescription = kFilterDescription;
  request.filterPattern = kFilterPattern;
  request.fileMustExist = true;
  if (!Host() || !Host()->RunFileDialog(request)) return;

  SegmentFileLoad loaded = LoadSegmentFile(request.pathName);
  if (!loaded.table) {
    AfxMessageBox(loaded.message, MB_OK | MB_ICONSTOP);
    return;
  }
  const SegmentTable& t = *loaded.table;
  m_fTotal = t.fTotal;
  m_fDelay = t.fDelay;
  for (auto [member, field] : kColumns)
    std::copy(std::begin(t.*field), std::end(t.*field), this->*member);
  SetSaved(TRUE);
  m_strFileName = FileTitleOf(request.pathName);
  TableToCells();
  UpdateData(FALSE);
}

void CSegmentDlg::OnSave() {
  UpdateData(TRUE);
  CellsToTable();
  FileDialogRequest request;
  request.open = false;
  request.filterDescription = kFilterDescription;
  request.filterPattern = kFilterPattern;
  request.defaultExtension = "txt";
  request.proposedName = m_strFileName;
  request.overwritePrompt = true;
  if (!Host() || !Host()->RunFileDialog(request)) return;
  m_strFileName = FileTitleOf(request.pathName);
  UpdateData(FALSE);

  SegmentTable t;
  t.fTotal = m_fTotal;
  t.fDelay = m_fDelay;
  for (auto [member, field] : kColumns)
    std::copy(std::begin(this->*member), std::end(this->*member), t.*field);
  CString failure = SaveSegmentFile(request.pathName, t);
  if (!failure.IsEmpty()) {
    AfxMessageBox(failure, MB_OK | MB_ICONSTOP);
    return;
  }
  SetSaved(TRUE);
}
