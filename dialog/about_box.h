// The About box: the icon, the version and OK; no behaviour of its own.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

class CAboutBox : public CDialog {
 public:
  enum { IDD = IDD_ABOUTBOX };
  CAboutBox() : CDialog(IDD) {}

 protected:
  void DoDataExchange(CDataExchange* pDX) override { CDialog::DoDataExchange(pDX); }
};
