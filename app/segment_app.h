// The application object: runs the main form modally and ends when it ends.
#pragma once

#include "framework/dialog.h"

class CSegmentApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};
