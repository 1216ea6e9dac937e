#include "app/segment_app.h"

#include "dialog/segment_dlg.h"

BOOL CSegmentApp::InitInstance() {
  std::unique_ptr<loreth::IInputPort> port = loreth::CreateDesktopInputPort();
  CSegmentDlg dlg(*port);
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // The dialog has ended: end the application instead of running a message loop.
  return FALSE;
}
