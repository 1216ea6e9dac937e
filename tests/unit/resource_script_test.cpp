// The Windows resource script must describe the same form as the templates the
// other backends are built from: its dialog part is generated from them and
// checked in, and these tests regenerate it and compare.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/rc_dialogs.h"

namespace {

std::string SourceDir() {
  const char* env = std::getenv("LORETH_SOURCE_DIR");
  return env && *env ? env : LORETH_SOURCE_DIR;
}

// Reads a file of the source tree; under Wine a Unix path is found on drive Z:.
bool ReadSourceFile(const std::string& relative, std::string& out) {
  std::string candidates[] = {SourceDir() + "/" + relative, "Z:" + SourceDir() + "/" + relative};
  for (const std::string& path : candidates) {
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
  }
  return false;
}

// Line endings of a checkout do not count.
std::string WithoutCarriageReturns(std::string s) {
  std::erase(s, '\r');
  return s;
}

TEST(ResourceScript, CheckedInDialogsEqualTheTemplates) {
  const std::string generated = rcgen::DialogsResourceScript();
  if (const char* update = std::getenv("LORETH_UPDATE_RC"); update && *update == '1') {
    std::ofstream out(SourceDir() + "/res/loreth_dialogs.rc", std::ios::binary);
    out << generated;
    ASSERT_TRUE(out.good()) << "could not write res/loreth_dialogs.rc";
  }
  std::string checkedIn;
  ASSERT_TRUE(ReadSourceFile("res/loreth_dialogs.rc", checkedIn))
      << "res/loreth_dialogs.rc not found under " << SourceDir();
  // On a mismatch: LORETH_UPDATE_RC=1 unit_tests --gtest_filter='ResourceScript*'
  EXPECT_EQ(WithoutCarriageReturns(checkedIn), generated);
}

TEST(ResourceScript, MainFormHasEveryControlAsOneStatement) {
  const DialogTemplate* form = FindDialogTemplate(IDD_SEGMENT_DIALOG);
  ASSERT_NE(form, nullptr);
  const std::string script = rcgen::DialogScript(*form);
  size_t statements = 0;
  for (size_t at = script.find("CONTROL "); at != std::string::npos;
       at = script.find("CONTROL ", at + 1))
    ++statements;
  EXPECT_EQ(statements, form->controls.size());
  EXPECT_EQ(form->controls.size(), 147u);
  // DIALOGEX: every control carries its extended style; the font line its weight,
  // italic flag and character set.
  EXPECT_NE(script.find("102 DIALOGEX 0, 0, 265, 248\n"), std::string::npos);
  EXPECT_NE(script.find("FONT 8, \"MS Sans Serif\", 0, 0, 0x1\n"), std::string::npos);
  EXPECT_NE(script.find("CONTROL \"\", 1000, \"Edit\", 0x50812082, 18, 19, 18, 15, 0x00001000\n"),
            std::string::npos);
}

TEST(ResourceScript, AboutBoxIsAPlainDialogWithTheIcon) {
  const DialogTemplate* about = FindDialogTemplate(IDD_ABOUTBOX);
  ASSERT_NE(about, nullptr);
  const std::string script = rcgen::DialogScript(*about);
  EXPECT_EQ(script.rfind("100 DIALOG 0, 0, 235, 55\n", 0), 0u);
  EXPECT_EQ(script.find("EXSTYLE"), std::string::npos);
  EXPECT_NE(script.find("CONTROL 128, -1, \"Static\", 0x50000003, 11, 17, 20, 20\n"),
            std::string::npos);
}

TEST(ResourceScript, QuotesTextsTheWayTheResourceCompilerReadsThem) {
  struct Case {
    const char* text;
    const char* quoted;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"Set &S", "\"Set &S\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\xC3\xA9t\xC3\xA9", "\"\xC3\xA9t\xC3\xA9\""},
  };
  for (const Case& c : cases) EXPECT_EQ(rcgen::Quoted(c.text), c.quoted) << c.text;
}

// The version resource and the rest of the hand-written script.
TEST(ResourceScript, MainScriptCarriesVersionIconAndManifest) {
  std::string rc;
  ASSERT_TRUE(ReadSourceFile("res/loreth.rc", rc));
  rc = WithoutCarriageReturns(rc);
  const char* expected[] = {
      "#include \"loreth_dialogs.rc\"",
      "IDR_MAINFRAME ICON \"loreth.ico\"",
      "1 RT_MANIFEST \"loreth.manifest\"",
      "FILEVERSION 1, 0, 0, 3",
      "PRODUCTVERSION 1, 0, 0, 3",
      "VALUE \"FileVersion\", \"1, 0, 0, 3\"",
      "VALUE \"ProductVersion\", \"1, 0, 0, 3\"",
      "VALUE \"InternalName\", \"Loreth\"",
      "VALUE \"OriginalFilename\", \"Loreth.EXE\"",
      "VALUE \"ProductName\", \"Loreth Application\"",
      "VALUE \"FileDescription\", \"Loreth MFC Application\"",
      "VALUE \"Translation\", 0x409, 1200",
  };
  for (const char* line : expected) EXPECT_NE(rc.find(line), std::string::npos) << line;
}

}  // namespace
