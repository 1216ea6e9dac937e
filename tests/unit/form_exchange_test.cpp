// The form's data exchange, the conversions between cell texts and the table,
// the modified marker and the shell (close box, Esc, About).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/ddx_text.h"
#include "tests/unit/form_fixture.h"

namespace {

using layout::kEndMin;
using layout::kEndSec;
using layout::kLoop;
using layout::kStartMin;
using layout::kStartSec;

const char* const kNotInt = "Please enter an integer.";
const char* const kIntRange = "Please enter an integer between 1 and 20.";
const char* const kNotNumber = "Please enter a number.";
const char* const kNumberRange = "Please enter a number between 0 and 1000.";

TEST(FormExchange, NewFormShowsDefaults) {
  Form f;
  EXPECT_EQ(f.host->Title(), "Loreth");
  EXPECT_EQ(f.host->Text(IDC_ROW), "1");
  EXPECT_EQ(f.host->Text(IDC_TOTAL), "120");
  EXPECT_EQ(f.host->Text(IDC_DELAY), "0");
  EXPECT_EQ(f.host->Text(IDC_FILENAME), "");
  EXPECT_EQ(f.host->focusedId, 1000);
  for (int r = 1; r <= 20; ++r) {
    for (int c = 0; c < 5; ++c) {
      int id = Form::Cell(r, static_cast<layout::Column>(c));
      EXPECT_EQ(f.host->Text(id), "");
      EXPECT_EQ(f.host->Limit(id), layout::CellLimit(r - 1, c)) << id;
    }
    EXPECT_EQ(f.dlg.m_nEndMin[r - 1], -1);
    EXPECT_EQ(f.dlg.m_nLoops[r - 1], 1);
  }
  EXPECT_TRUE(f.dlg.m_bSaved);
  EXPECT_TRUE(f.dlg.m_bIdle);
  EXPECT_TRUE(f.host->messageBoxes.empty());
  // The first writing exchange raised no change notification that counted.
  EXPECT_EQ(f.host->titles.size(), 0u);
}

struct FieldCase {
  int field;
  const char* text;
  const char* message;  // "" when the text is accepted
  double value;         // what the member holds afterwards
};

class FieldRead : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldRead, MemberOrMessage) {
  const FieldCase& c = GetParam();
  Form f;
  f.dlg.m_nRow = 7;
  f.dlg.m_fTotal = 33.0f;
  f.dlg.m_fDelay = 0.25f;
  f.SetField(c.field, c.text);
  BOOL ok = f.dlg.UpdateData(TRUE);
  EXPECT_EQ(ok, std::string(c.message).empty());
  EXPECT_EQ(f.LastMessage(), c.message);
  double member = c.field == IDC_ROW     ? f.dlg.m_nRow
                  : c.field == IDC_TOTAL ? f.dlg.m_fTotal
                                         : f.dlg.m_fDelay;
  if (std::isinf(c.value)) {
    EXPECT_TRUE(std::isinf(member));
  } else {
    EXPECT_FLOAT_EQ(member, c.value) << c.text;
  }
  if (!ok) {
    EXPECT_EQ(f.host->focusedId, c.field);
    EXPECT_TRUE(f.host->selectedAll);
    EXPECT_EQ(f.host->messageBoxes.back().caption, "Loreth");
    EXPECT_EQ(f.host->messageBoxes.back().type, MB_OK | MB_ICONEXCLAMATION);
  }
}

const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    RowTotalDelay, FieldRead,
    ::testing::Values(
        FieldCase{IDC_ROW, "", kNotInt, 7}, FieldCase{IDC_ROW, "+0", kNotInt, 7},
        FieldCase{IDC_ROW, "-0", kNotInt, 7}, FieldCase{IDC_ROW, "x", kNotInt, 7},
        FieldCase{IDC_ROW, "0", kIntRange, 0}, FieldCase{IDC_ROW, "00", kIntRange, 0},
        FieldCase{IDC_ROW, "21", kIntRange, 21}, FieldCase{IDC_ROW, " 5 ", "", 5},
        FieldCase{IDC_ROW, "\t20", "", 20}, FieldCase{IDC_ROW, "5x", kNotInt, 7},
        FieldCase{IDC_ROW, "99999999999", kIntRange, 2147483647},
        FieldCase{IDC_ROW, "-99999999999", kIntRange, -2147483648.0},
        FieldCase{IDC_TOTAL, "1e3", "", 1000}, FieldCase{IDC_TOTAL, ".5", "", 0.5},
        FieldCase{IDC_TOTAL, ".0", kNotNumber, 33}, FieldCase{IDC_TOTAL, "", kNotNumber, 33},
        FieldCase{IDC_TOTAL, "-0", kNotNumber, 33}, FieldCase{IDC_TOTAL, "+0.0", kNotNumber, 33},
        FieldCase{IDC_TOTAL, "0.0", "", 0}, FieldCase{IDC_TOTAL, "0e3", "", 0},
        FieldCase{IDC_TOTAL, "1,5", kNotNumber, 33}, FieldCase{IDC_TOTAL, "12 s", kNotNumber, 33},
        FieldCase{IDC_TOTAL, "1000.5", kNumberRange, 1000.5},
        FieldCase{IDC_TOTAL, "999.9999", "", 1000}, FieldCase{IDC_TOTAL, " 60 ", "", 60},
        FieldCase{IDC_TOTAL, "inf", kNotNumber, 33}, FieldCase{IDC_TOTAL, "nan", kNotNumber, 33},
        FieldCase{IDC_TOTAL, "1e999", kNumberRange, kInf},
        FieldCase{IDC_DELAY, "-1", kNumberRange, -1}, FieldCase{IDC_DELAY, "0.05", "", 0.05},
        FieldCase{IDC_DELAY, "1e", "Please enter a number.", 0.25}));

TEST(FormExchange, WritingFormatsFloatsAndLeavesEqualTextsAlone) {
  Form f;
  struct {
    float value;
    const char* text;
  } cases[] = {{120, "120"},        {0, "0"},      {0.15f, "0.15"},
               {1000, "1000"},      {0.1f, "0.1"}, {999.9999f, "1000"},
               {0.00001f, "1e-05"}, {5000, "5000"}};
  for (auto& c : cases) {
    f.dlg.m_fTotal = c.value;
    f.dlg.UpdateData(FALSE);
    EXPECT_EQ(f.host->Text(IDC_TOTAL), c.text);
  }
  int writes = f.host->setTextCalls;
  f.dlg.UpdateData(FALSE);
  EXPECT_EQ(f.host->setTextCalls, writes) << "an unchanged form is not rewritten";
  EXPECT_EQ(f.host->Title(), "Loreth") << "writing never marks the sheet";
}

TEST(FormExchange, FirstFailureInExchangeOrderIsReported) {
  Form f;
  // Row 15's end second is exchanged before row 11's end minute.
  f.dlg.m_nEndMin[10] = 1234;
  f.dlg.m_nEndSec[14] = 123;
  f.dlg.TableToCells();
  f.dlg.UpdateData(FALSE);
  EXPECT_FALSE(f.dlg.UpdateData(TRUE));
  EXPECT_EQ(f.LastMessage(), "Please enter no more than 2 characters.");
  EXPECT_EQ(f.host->focusedId, Form::Cell(15, kEndSec));
}

TEST(FormExchange, FailureLeavesLaterMembersAlone) {
  Form f;
  f.dlg.m_fDelay = 0.5f;
  f.host->Type(Form::Cell(3, kStartMin), "4");
  f.SetField(IDC_ROW, "9");
  f.SetField(IDC_TOTAL, "5000");
  f.SetField(IDC_DELAY, "3");
  f.SetField(IDC_FILENAME, "x");
  EXPECT_FALSE(f.dlg.UpdateData(TRUE));
  EXPECT_EQ(f.LastMessage(), kNumberRange);
  EXPECT_EQ(f.dlg.m_fTotal, 5000.0f);
  EXPECT_EQ(f.dlg.m_fDelay, 0.5f);
  EXPECT_EQ(f.dlg.m_strFileName, CString(""));
  EXPECT_EQ(f.dlg.m_nRow, 9);
  f.dlg.CellsToTable();
  EXPECT_EQ(f.dlg.m_nStartMin[2], 4);
}

TEST(FormExchange, LongLoopFromTableIsShownWholeThenReported) {
  Form f;
  f.dlg.m_nLoops[0] = 100;
  f.dlg.TableToCells();
  f.dlg.UpdateData(FALSE);
  EXPECT_EQ(f.host->Text(Form::Cell(1, kLoop)), "100");
  f.dlg.UpdateData(TRUE);
  EXPECT_EQ(f.LastMessage(), "Please enter no more than 2 characters.");
  EXPECT_EQ(f.host->focusedId, Form::Cell(1, kLoop));
}

TEST(FormConversion, CellTextsToTableAndBack) {
  struct {
    layout::Column column;
    const char* typed;  // pasted into row 3 (start second of row 1 takes any character)
    int value;
    const char* shown;
  } cases[] = {{kStartMin, "", -1, ""},     {kStartMin, "-1", -1, ""}, {kLoop, "1", 1, ""},
               {kLoop, "01", 1, ""},        {kLoop, "", 1, ""},        {kEndMin, " 7", 7, "7"},
               {kEndMin, "7a", 7, "7"},     {kEndMin, "abc", 0, "0"},  {kEndMin, "007", 7, "7"},
               {kStartSec, "-5", -5, "-5"}, {kStartSec, "-", 0, "0"},  {kStartSec, "+1", 1, "1"}};
  for (auto& c : cases) {
    Form f;
    int id = Form::Cell(1, c.column);
    f.host->Paste(id, c.typed);
    f.dlg.UpdateData(TRUE);
    f.dlg.CellsToTable();
    int32_t* column[] = {f.dlg.m_nStartMin, f.dlg.m_nStartSec, f.dlg.m_nEndMin, f.dlg.m_nEndSec,
                         f.dlg.m_nLoops};
    EXPECT_EQ(column[c.column][0], c.value) << c.typed;
    f.dlg.TableToCells();
    f.dlg.UpdateData(FALSE);
    EXPECT_EQ(f.host->Text(id), c.shown) << c.typed;
  }
}

TEST(FormConversion, TableRoundTripsThroughCells) {
  Form f;
  for (int r = 0; r < 20; ++r) {
    f.dlg.m_nEndMin[r] = r * 1000 - 7;
    f.dlg.m_nEndSec[r] = std::numeric_limits<int32_t>::min() + r;
    f.dlg.m_nStartMin[r] = std::numeric_limits<int32_t>::max() - r;
    f.dlg.m_nStartSec[r] = r % 3 - 1;
    f.dlg.m_nLoops[r] = r % 4;
  }
  CSegmentDlg before(f.port);
  std::copy(std::begin(f.dlg.m_nEndMin), std::end(f.dlg.m_nLoops), std::begin(before.m_nEndMin));
  f.dlg.TableToCells();
  f.dlg.UpdateData(FALSE);
  EXPECT_EQ(f.host->Text(Form::Cell(1, kEndSec)), "-2147483648");
  f.dlg.UpdateData(TRUE);  // reports lengths, but reads every cell text before the failure
  f.dlg.TableToCells();
  f.dlg.CellsToTable();
  EXPECT_TRUE(std::equal(std::begin(f.dlg.m_nEndMin), std::end(f.dlg.m_nLoops),
                         std::begin(before.m_nEndMin)));
}

TEST(FormMarker, UserEditsMarkAndOnlyEditsMark) {
  struct {
    int id;
    bool marks;
  } cases[] = {{1000, true},      {Form::Cell(20, kLoop), true},
               {IDC_TOTAL, true}, {IDC_DELAY, true},
               {IDC_ROW, false},  {IDC_FILENAME, false}};
  for (auto& c : cases) {
    Form f;
    f.host->Type(c.id, "1");
    EXPECT_EQ(f.host->Title(), c.marks ? "Loreth *" : "Loreth") << c.id;
    EXPECT_EQ(f.dlg.m_bSaved, !c.marks) << c.id;
  }
}

TEST(FormMarker, DigitsOnlyCellsRefuseLetters) {
  Form f;
  f.host->Type(Form::Cell(2, kStartSec), "a");
  EXPECT_EQ(f.host->Text(Form::Cell(2, kStartSec)), "");
  for (int row : {1, 6, 11, 16}) {
    f.host->Type(Form::Cell(row, kStartSec), "a");
    EXPECT_EQ(f.host->Text(Form::Cell(row, kStartSec)), "a") << row;
  }
  f.host->Type(Form::Cell(1, kLoop), "123");
  EXPECT_EQ(f.host->Text(Form::Cell(1, kLoop)), "12");
  f.host->Type(Form::Cell(3, kLoop), "1234");
  EXPECT_EQ(f.host->Text(Form::Cell(3, kLoop)), "123");
}

TEST(FormShell, CloseAndEscAskOnlyWhileModified) {
  struct {
    bool edit;
    bool esc;
    int answer;
    bool ends;
  } cases[] = {{false, false, 0, true}, {true, false, IDNO, false}, {true, false, IDYES, true},
               {false, true, 0, true},  {true, true, IDNO, false},  {true, true, IDYES, true}};
  for (auto& c : cases) {
    Form f;
    if (c.edit) f.host->Type(1000, "5");
    if (c.answer) f.host->messageBoxAnswers.push_back(c.answer);
    if (c.esc)
      f.host->PressEsc();
    else
      f.host->CloseBox();
    EXPECT_EQ(f.host->ended, c.ends);
    if (c.ends) {
      EXPECT_EQ(f.host->endResult, IDCANCEL);
    }
    if (c.edit) {
      ASSERT_EQ(f.host->messageBoxes.size(), 1u);
      EXPECT_EQ(f.LastMessage(), "Quit without saving?");
      EXPECT_EQ(f.host->messageBoxes[0].type, MB_YESNO | MB_SETFOREGROUND | MB_ICONEXCLAMATION);
      EXPECT_EQ(f.host->Text(1000), "5") << "No leaves the edit in place";
    } else {
      EXPECT_TRUE(f.host->messageBoxes.empty());
    }
  }
}

TEST(FormShell, SystemMenuOpensAboutBox) {
  Form f;
  ASSERT_EQ(f.host->systemMenu.size(), 2u);
  EXPECT_EQ(f.host->systemMenu[0].first, 0u);
  EXPECT_EQ(f.host->systemMenu[1], (std::pair<UINT, std::string>(0x10, "&About Loreth...")));
  EXPECT_EQ(f.host->bigIcon, IDR_MAINFRAME);
  EXPECT_EQ(f.host->smallIcon, IDR_MAINFRAME);
  Message about = SimpleMessage(Msg::SysCommand, 0x0013);  // low four bits are ignored
  EXPECT_TRUE(f.dlg.HandleMessage(about));
  EXPECT_EQ(f.backend.modalRuns, std::vector<int>{IDD_ABOUTBOX});
  EXPECT_FALSE(f.dlg.HandleMessage(SimpleMessage(Msg::SysCommand, 0xF010)))
      << "other commands get the default handling";
}

TEST(FormExchange, ExchangeNeverNests) {
  Form f;
  f.SetField(IDC_TOTAL, "x");
  int nested = -1;
  f.host->onMessageBox = [&](const ShownMessageBox&) { nested = f.dlg.UpdateData(TRUE); };
  f.dlg.UpdateData(TRUE);
  EXPECT_EQ(nested, FALSE);
  EXPECT_EQ(f.host->messageBoxes.size(), 1u);
}

TEST(DialogText, AtoiReadsLikeTheCLibrary) {
  struct {
    const char* text;
    int value;
  } cases[] = {{" 7", 7},
               {"\n\t-12x", -12},
               {"+3", 3},
               {"abc", 0},
               {"-", 0},
               {" ", 0},
               {"007", 7},
               {"1 2", 1},
               {"99999999999", 2147483647},
               {"-99999999999", -2147483647 - 1}};
  for (auto& c : cases) EXPECT_EQ(AtoiText(c.text), c.value) << c.text;
}

}  // namespace
