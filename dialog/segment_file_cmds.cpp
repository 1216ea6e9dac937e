// Open and Save of the 408-byte segment file.
#include "dialog/segment_dlg.h"

void CSegmentDlg::OnOpen() {}
void CSegmentDlg::OnSave() {}
