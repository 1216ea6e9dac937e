// The row commands (COPY, CUT, PASTE, DELETE, the row pick) and Open/Save on the
// in-memory backend, with real files in a temporary folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/unit/form_fixture.h"

namespace {

namespace fs = std::filesystem;
using layout::kEndMin;
using layout::kEndSec;
using layout::kLoop;
using layout::kStartMin;
using layout::kStartSec;

// Row r (1-20) as "sm ss em es loop" from the table, e.g. "1 5 2 30 3".
std::string RowOf(const CSegmentDlg& d, int r) {
  int i = r - 1;
  return std::to_string(d.m_nStartMin[i]) + " " + std::to_string(d.m_nStartSec[i]) + " " +
         std::to_string(d.m_nEndMin[i]) + " " + std::to_string(d.m_nEndSec[i]) + " " +
         std::to_string(d.m_nLoops[i]);
}
const std::string kEmpty = "-1 -1 -1 -1 1";

// Rows 1..20 filled so that row r starts at minute r.
void FillRows(Form& f) {
  for (int r = 0; r < 20; ++r) {
    f.dlg.m_nStartMin[r] = r + 1;
    f.dlg.m_nStartSec[r] = 0;
    f.dlg.m_nEndMin[r] = r + 1;
    f.dlg.m_nEndSec[r] = 30;
    f.dlg.m_nLoops[r] = 2;
  }
  f.dlg.TableToCells();
  f.dlg.UpdateData(FALSE);
}
std::string Filled(int r) {
  return std::to_string(r) + " 0 " + std::to_string(r) + " 30 2";
}

TEST(RowCommands, PasteDeleteCutTable) {
  struct Case {
    const char* name;
    bool filled;
    int copyRow;  // 0: none
    int row;
    int command;  // IDC_PASTE_ROW / IDC_DELETE_ROW / IDC_CUT_ROW
    bool ctrl;
    // expected: row -> text
    std::vector<std::pair<int, std::string>> expect;
  };
  std::vector<Case> cases = {
      {"paste at 1 on a fresh form",
       false,
       0,
       1,
       IDC_PASTE_ROW,
       false,
       {{1, kEmpty}, {20, kEmpty}}},
      {"paste at 1 moves rows down",
       true,
       0,
       1,
       IDC_PASTE_ROW,
       false,
       {{1, kEmpty}, {2, Filled(1)}, {20, Filled(19)}}},
      {"paste at 20 replaces only 20",
       true,
       3,
       20,
       IDC_PASTE_ROW,
       false,
       {{19, Filled(19)}, {20, Filled(3)}}},
      {"copy 3 then paste 1",
       true,
       3,
       1,
       IDC_PASTE_ROW,
       false,
       {{1, Filled(3)}, {2, Filled(1)}, {4, Filled(3)}}},
      {"delete 5 empties it",
       true,
       0,
       5,
       IDC_DELETE_ROW,
       false,
       {{4, Filled(4)}, {5, kEmpty}, {6, Filled(6)}, {20, Filled(20)}}},
      {"ctrl+delete 5 closes the gap",
       true,
       0,
       5,
       IDC_DELETE_ROW,
       true,
       {{4, Filled(4)}, {5, Filled(6)}, {19, Filled(20)}, {20, kEmpty}}},
      {"ctrl+delete 20", true, 0, 20, IDC_DELETE_ROW, true, {{19, Filled(19)}, {20, kEmpty}}},
      {"cut 5", true, 0, 5, IDC_CUT_ROW, false, {{5, kEmpty}, {6, Filled(6)}}},
      {"ctrl+cut 5", true, 0, 5, IDC_CUT_ROW, true, {{5, Filled(6)}, {20, kEmpty}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Form f;
    if (c.filled) FillRows(f);
    if (c.copyRow) {
      f.SetField(IDC_ROW, std::to_string(c.copyRow));
      f.host->Click(IDC_COPY_ROW);
      EXPECT_EQ(f.host->Title(), "Loreth") << "COPY leaves the marker alone";
    }
    f.SetField(IDC_ROW, std::to_string(c.row));
    f.port.ctrlHeld = c.ctrl;
    f.host->Click(c.command);
    for (auto& [row, text] : c.expect) EXPECT_EQ(RowOf(f.dlg, row), text) << "row " << row;
    EXPECT_EQ(f.host->Title(), "Loreth *");
    EXPECT_EQ(f.host->Text(IDC_ROW), std::to_string(c.row));
    if (c.command == IDC_CUT_ROW) {
      EXPECT_EQ(f.dlg.m_clipRow[2], 5) << "the cut row is in the row clipboard";
    }
  }
}

TEST(RowCommands, TypedValuesMoveWithTheirRowsAndStayOnTheForm) {
  Form f;
  f.TypeRow(2, "1", "5", "2", "30", "3");
  f.SetField(IDC_ROW, "1");
  f.host->Click(IDC_PASTE_ROW);
  EXPECT_EQ(RowOf(f.dlg, 3), "1 5 2 30 3");
  EXPECT_EQ(f.host->Text(Form::Cell(3, kEndSec)), "30");
  EXPECT_EQ(f.host->Text(Form::Cell(2, kEndSec)), "");
}

TEST(RowCommands, DeleteOfAnEmptyRowStillMarks) {
  Form f;
  f.host->Click(IDC_DELETE_ROW);
  EXPECT_EQ(f.host->Title(), "Loreth *");
  EXPECT_FALSE(f.dlg.m_bSaved);
}

TEST(RowCommands, RowOutsideTheSheetChangesNothing) {
  for (const char* row : {"0", "21", "99999"}) {
    for (int command : {IDC_COPY_ROW, IDC_PASTE_ROW, IDC_DELETE_ROW, IDC_CUT_ROW}) {
      Form f;
      FillRows(f);
      f.port.ctrlHeld = true;
      f.SetField(IDC_ROW, row);
      f.host->Click(command);
      EXPECT_EQ(f.LastMessage(), "Please enter an integer between 1 and 20.");
      for (int r = 1; r <= 20; ++r) EXPECT_EQ(RowOf(f.dlg, r), Filled(r)) << row;
      EXPECT_EQ(f.dlg.m_clipRow[4], 1);
    }
  }
}

TEST(RowPick, LabelClickPicksItsRowBackgroundDoesNot) {
  Form f;
  f.host->LeftClickAt(f.host->CenterOf(1054));  // "17:"
  EXPECT_EQ(f.host->Text(IDC_ROW), "17");
  f.host->LeftClickAt({2, 2});  // the form's corner
  EXPECT_EQ(f.host->Text(IDC_ROW), "17");
  f.SetField(IDC_ROW, "0");
  f.host->LeftClickAt(f.host->CenterOf(1028));  // "1:" after the range message
  EXPECT_EQ(f.dlg.m_nRow, 1);
  EXPECT_EQ(f.host->Text(IDC_ROW), "1");
  EXPECT_EQ(f.host->Title(), "Loreth") << "a pick never marks the sheet";
}

TEST(RowPick, ClickRewritesTheFormAfterABadTotal) {
  Form f;
  f.SetField(IDC_TOTAL, "abc");
  f.host->LeftClickAt({2, 2});
  EXPECT_EQ(f.LastMessage(), "Please enter a number.");
  EXPECT_EQ(f.host->Text(IDC_TOTAL), "120");
}

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("loreth-cmd-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  static std::vector<unsigned char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path dir;
};

TEST_F(FileCommands, SaveThenOpenRestoresTheSheet) {
  Form f;
  f.TypeRow(1, "1", "5", "2", "30", "3");
  f.TypeRow(2, "10", "0", "12", "0");
  f.SetField(IDC_DELAY, "0.05");
  f.SetField(IDC_ROW, "7");
  f.host->fileDialogAnswers.push_back(Path("set1.txt"));
  f.host->Click(IDC_SAVE);
  ASSERT_EQ(f.host->fileDialogs.size(), 1u);
  EXPECT_FALSE(f.host->fileDialogs[0].open);
  EXPECT_EQ(f.host->fileDialogs[0].defaultExtension, CString("txt"));
  EXPECT_TRUE(f.host->fileDialogs[0].overwritePrompt);
  EXPECT_EQ(f.host->fileDialogs[0].filterDescription, CString(".txt files(*.txt)"));
  EXPECT_EQ(f.host->Title(), "Loreth");
  EXPECT_EQ(f.host->Text(IDC_FILENAME), "set1");
  std::vector<unsigned char> bytes = Bytes(Path("set1.txt"));
  ASSERT_EQ(bytes.size(), 408u);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 8, bytes.begin() + 12),
            (std::vector<unsigned char>{2, 0, 0, 0}));

  f.host->Paste(Form::Cell(1, kLoop), "9");
  f.SetField(IDC_TOTAL, "60");
  f.host->messageBoxAnswers.push_back(IDYES);
  f.host->fileDialogAnswers.push_back(Path("set1.txt"));
  f.host->Click(IDC_OPEN);
  EXPECT_EQ(f.LastMessage(), "Close without saving?");
  EXPECT_TRUE(f.host->fileDialogs.back().fileMustExist);
  EXPECT_EQ(f.host->Text(Form::Cell(1, kLoop)), "3");
  EXPECT_EQ(f.host->Text(IDC_TOTAL), "120");
  EXPECT_EQ(f.host->Text(IDC_DELAY), "0.05");
  EXPECT_EQ(f.host->Text(IDC_ROW), "7") << "the row field is not in the file";
  EXPECT_EQ(f.host->Title(), "Loreth");
  EXPECT_EQ(RowOf(f.dlg, 2), "10 0 12 0 1");
  // The next Save proposes the file's title.
  f.host->Click(IDC_SAVE);
  EXPECT_EQ(f.host->fileDialogs.back().proposedName, CString("set1"));
}

TEST_F(FileCommands, CancelAndNoChangeNothing) {
  Form f;
  f.host->Type(1000, "4");
  f.host->messageBoxAnswers.push_back(IDNO);
  f.host->Click(IDC_OPEN);
  EXPECT_TRUE(f.host->fileDialogs.empty()) << "No stops before the dialog";
  f.host->messageBoxAnswers.push_back(IDYES);
  f.host->Click(IDC_OPEN);  // then cancel in the dialog
  f.host->Click(IDC_SAVE);  // cancel in the save dialog
  EXPECT_EQ(f.host->fileDialogs.size(), 2u);
  EXPECT_EQ(f.host->Title(), "Loreth *") << "nothing was written, so the edit is not lost";
  EXPECT_EQ(f.host->Text(1000), "4");
}

TEST_F(FileCommands, FailuresKeepTheSheetAndThePreviousFile) {
  std::ofstream(Path("short.txt"), std::ios::binary) << "abcdef";
  struct {
    const char* name;
    bool save;
    std::string path;
    const char* expectInMessage;
  } cases[] = {
      {"missing file", false, Path("missing.txt"), "missing.txt"},
      {"short file", false, Path("short.txt"), "6 bytes"},
      {"folder that does not exist", true, Path("nowhere/set.txt"), "nowhere"},
      {"full disk", true, "/dev/full", "/dev/full"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Form f;
    f.host->Type(1000, "4");
    f.host->Paste(IDC_FILENAME, "before");
    f.dlg.UpdateData(TRUE);
    f.host->messageBoxAnswers.push_back(IDYES);
    f.host->fileDialogAnswers.push_back(c.path);
    f.host->Click(c.save ? IDC_SAVE : IDC_OPEN);
    ASSERT_FALSE(f.host->messageBoxes.empty());
    const ShownMessageBox& box = f.host->messageBoxes.back();
    EXPECT_NE(box.text.find(c.expectInMessage), std::string::npos) << box.text;
    EXPECT_EQ(box.type, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(f.host->Title(), "Loreth *");
    EXPECT_EQ(f.host->Text(1000), "4");
    EXPECT_EQ(f.dlg.m_nStartMin[0], c.save ? 4 : -1);
  }
  EXPECT_EQ(Bytes(Path("short.txt")).size(), 6u);
}

TEST_F(FileCommands, SaveOverALongerFileLeavesExactly408Bytes) {
  std::ofstream(Path("old.txt"), std::ios::binary) << std::string(1000, 'x');
  Form f;
  f.host->fileDialogAnswers.push_back(Path("old.txt"));
  f.host->Click(IDC_SAVE);
  std::vector<unsigned char> bytes = Bytes(Path("old.txt"));
  ASSERT_EQ(bytes.size(), 408u);
  const unsigned char head[] = {0x00, 0x00, 0xF0, 0x42, 0, 0, 0, 0, 0xFF};
  EXPECT_TRUE(std::equal(std::begin(head), std::end(head), bytes.begin()));
  EXPECT_EQ(f.host->Text(IDC_FILENAME), "old");
}

TEST_F(FileCommands, OpenUnderAnActiveRunKeepsTheRunGoing) {
  Form f;
  f.TypeRow(1, "0", "10", "0", "20");
  f.host->Click(IDC_SET);
  f.host->fileDialogAnswers.push_back(Path("run.txt"));
  f.host->Click(IDC_SAVE);
  f.host->fileDialogAnswers.push_back(Path("run.txt"));
  f.host->Click(IDC_OPEN);
  EXPECT_TRUE(f.host->timerRunning);
  EXPECT_FALSE(f.dlg.m_bIdle);
}

}  // namespace
