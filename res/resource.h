// Identifiers of the resources and of the form's controls.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDD_SEGMENT_DIALOG 102
#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 0x0010

// Bottom bars.
#define IDC_DELETE_ROW 1011
#define IDC_ROW 1012
#define IDC_COPY_ROW 1013
#define IDC_PASTE_ROW 1014
#define IDC_CUT_ROW 1029
#define IDC_SET 1008
#define IDC_OPEN 1007
#define IDC_SAVE 1006
#define IDC_FILENAME 1009
#define IDC_TOTAL 1039
#define IDC_DELAY 1040
