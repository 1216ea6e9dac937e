// The main form's rows: the identifiers of each row's label and five cells, and
// where they stand. The whole template (147 controls) is built from this in
// form_layout.cpp.
#pragma once

namespace layout {

// Cell columns in the form's order, left to right.
enum Column { kStartMin = 0, kStartSec = 1, kEndMin = 2, kEndSec = 3, kLoop = 4 };
inline constexpr int kRowCount = 20;
inline constexpr int kColumnCount = 5;

struct RowLayout {
  const char* label;
  int labelId;
  int labelX, labelY, labelW;
  int cellY;
  int cell[kColumnCount];  // start min, start sec, end min, end sec, loop
};

inline constexpr RowLayout kRows[kRowCount] = {
    {"1:", 1028, 7, 24, 8, 19, {1000, 1015, 1016, 1017, 1018}},
    {"2:", 1019, 7, 41, 8, 38, {3, 1020, 1021, 1022, 1023}},
    {"3:", 1030, 7, 61, 8, 56, {1069, 1070, 1071, 1072, 1073}},
    {"4:", 1031, 7, 80, 8, 74, {1074, 1075, 1076, 1077, 1078}},
    {"5:", 1032, 7, 98, 8, 93, {1079, 1080, 1081, 1082, 1083}},
    {"6:", 1033, 7, 116, 8, 111, {1089, 1090, 1091, 1092, 1093}},
    {"7:", 1034, 7, 134, 8, 130, {4, 1024, 1025, 1026, 1027}},
    {"8:", 1035, 7, 154, 8, 148, {1084, 1085, 1086, 1087, 1088}},
    {"9:", 1036, 7, 172, 8, 167, {1094, 1095, 1096, 1097, 1098}},
    {"10:", 1037, 7, 191, 11, 186, {1099, 1100, 1101, 1102, 1103}},
    {"11:", 1038, 134, 24, 9, 19, {1001, 1041, 1042, 1043, 1044}},
    {"12:", 1045, 134, 41, 9, 38, {5, 1046, 1047, 1048, 1049}},
    {"13:", 1050, 134, 61, 9, 56, {1104, 1105, 1106, 1107, 1108}},
    {"14:", 1051, 134, 80, 9, 74, {1109, 1110, 1111, 1112, 1113}},
    {"15:", 1052, 134, 98, 10, 93, {1114, 1115, 1116, 1117, 1118}},
    {"16:", 1053, 134, 116, 9, 111, {1119, 1120, 1121, 1122, 1123}},
    {"17:", 1054, 134, 134, 9, 130, {6, 1055, 1056, 1057, 1058}},
    {"18:", 1059, 134, 154, 10, 148, {1124, 1125, 1126, 1127, 1128}},
    {"19:", 1060, 134, 172, 10, 167, {1129, 1130, 1131, 1132, 1133}},
    {"20:", 1061, 134, 191, 11, 186, {1134, 1135, 1136, 1137, 1138}},
};

// x of each column in the left block (rows 1-10) and in the right block (11-20).
inline constexpr int kCellX[2][kColumnCount] = {{18, 40, 66, 88, 113}, {145, 167, 193, 215, 240}};
inline constexpr int kCellW = 18;
inline constexpr int kCellH = 15;

// Characters a cell takes: minutes 3, seconds 2, loops 2 in rows 1 and 2, else 3.
constexpr int CellLimit(int row, int column) {
  if (column == kStartSec || column == kEndSec) return 2;
  if (column == kLoop) return row < 2 ? 2 : 3;
  return 3;
}

}  // namespace layout
