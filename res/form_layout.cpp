#include "res/form_layout.h"

#include <array>

#include "framework/afx.h"
#include "framework/dialog_template.h"
#include "res/resource.h"

namespace {

using namespace style;

constexpr unsigned kStatic = Child | Visible | SsLeft | Group;
constexpr unsigned kCell = Child | Visible | Border | TabStop | EsAutoHScroll | EsNumber;
constexpr unsigned kField = Child | Visible | Border | TabStop | EsAutoHScroll | EsRight;
constexpr unsigned kButton = Child | Visible | TabStop | BsPushButton;

constexpr ControlTemplate Header(const char* text, int x, int y, int w) {
  return {-1, ControlKind::Static, text, x, y, w, 8, kStatic, 0};
}

constexpr unsigned CellStyle(int id) {
  unsigned s = kCell;
  if (id == 1000 || id == 1001) s |= EsRight;
  if (id == 1015 || id == 1090 || id == 1041 || id == 1120) s &= ~EsNumber;
  return s;
}

constexpr std::array<ControlTemplate, 147> BuildMainForm() {
  std::array<ControlTemplate, 147> c{};
  size_t n = 0;
  for (int block = 0; block < 2; ++block) {
    int dx = block * 127;
    c[n++] = Header("min", 25 + dx, 7, 12);
    c[n++] = Header("sec", 46 + dx, 7, 12);
    c[n++] = {-1, ControlKind::Static, "-", 61 + dx, 8, 8, 8, kStatic, 0};
    c[n++] = Header("min", 73 + dx, 7, 12);
    c[n++] = Header("sec", 94 + dx, 7, 12);
    c[n++] = Header("loop", 118 + dx - block, 7, 14);
  }
  for (int r = 0; r < layout::kRowCount; ++r) {
    const layout::RowLayout& row = layout::kRows[r];
    c[n++] = {row.labelId,
              ControlKind::Static,
              row.label,
              row.labelX,
              row.labelY,
              row.labelW,
              8,
              kStatic,
              0};
    for (int col = 0; col < layout::kColumnCount; ++col) {
      int id = row.cell[col];
      int y = (id == 1088 || id == 1128) ? row.cellY + 1 : row.cellY;
      c[n++] = {id,
                ControlKind::Edit,
                "",
                layout::kCellX[r / 10][col],
                y,
                layout::kCellW,
                layout::kCellH,
                CellStyle(id),
                ExRight};
    }
  }
  c[n++] = {IDC_ROW, ControlKind::Edit,
            "",      8,
            207,     13,
            14,      Child | Visible | Border | TabStop | EsAutoHScroll | EsNumber | EsRight,
            0};
  c[n++] = {-1, ControlKind::Static, ":", 24, 210, 8, 8, kStatic, 0};
  c[n++] = {IDC_COPY_ROW, ControlKind::Button, "COPY", 28, 207, 34, 14, kButton, 0};
  c[n++] = {IDC_CUT_ROW, ControlKind::Button, "CUT", 62, 207, 34, 14, kButton, 0};
  c[n++] = {IDC_PASTE_ROW, ControlKind::Button, "PASTE", 96, 207, 34, 14, kButton, 0};
  c[n++] = {IDC_DELETE_ROW, ControlKind::Button, "DELETE", 130, 207, 34, 14, kButton, 0};
  c[n++] = {-1, ControlKind::Static, "total :", 168, 210, 18, 8, kStatic, 0};
  c[n++] = {IDC_TOTAL, ControlKind::Edit, "", 188, 207, 25, 14, kField, 0};
  c[n++] = {-1, ControlKind::Static, "delay :", 217, 210, 20, 8, kStatic, 0};
  c[n++] = {IDC_DELAY, ControlKind::Edit, "", 239, 207, 18, 14, kField, 0};
  c[n++] = {IDC_SET,  ControlKind::Button,
            "Set &S", 8,
            227,      50,
            14,       Child | Visible | TabStop | BsDefPushButton,
            0};
  c[n++] = {IDC_OPEN, ControlKind::Button, "Open &O", 58, 227, 50, 14, kButton, 0};
  c[n++] = {IDC_SAVE, ControlKind::Button, "Save &2", 109, 227, 50, 14, kButton, 0};
  c[n++] = {-1, ControlKind::Static, "file name :", 163, 230, 32, 8, kStatic, 0};
  c[n++] = {IDC_FILENAME, ControlKind::Edit, "", 196, 227, 62, 14, kField, 0};
  return c;
}

constexpr std::array<ControlTemplate, 147> kMainControls = BuildMainForm();

constexpr ControlTemplate kAboutControls[] = {
    {-1, ControlKind::Icon, "", 11, 17, 20, 20, Child | Visible | SsIcon, 0, IDR_MAINFRAME},
    {-1, ControlKind::Static, "Loreth Version 1.0.0.3", 40, 10, 119, 8,
     Child | Visible | SsLeft | SsNoPrefix | Group, 0},
    {IDOK, ControlKind::Button, "OK", 178, 7, 50, 14,
     Child | Visible | BsDefPushButton | Group | TabStop, 0},
};

constexpr DialogTemplate kMainForm{IDD_SEGMENT_DIALOG,
                                   true,
                                   "Loreth",
                                   265,
                                   248,
                                   "MS Sans Serif",
                                   8,
                                   Popup | Visible | Caption | SysMenu | DsModalFrame | DsSetFont,
                                   ExAppWindow,
                                   kMainControls};

constexpr DialogTemplate kAboutBox{IDD_ABOUTBOX,
                                   false,
                                   "About Loreth",
                                   235,
                                   55,
                                   "MS Sans Serif",
                                   8,
                                   Popup | Caption | SysMenu | DsModalFrame | DsSetFont,
                                   0,
                                   kAboutControls};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  if (id == IDD_SEGMENT_DIALOG) return &kMainForm;
  if (id == IDD_ABOUTBOX) return &kAboutBox;
  return nullptr;
}
