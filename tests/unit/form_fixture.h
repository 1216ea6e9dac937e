// A main form on the in-memory backend with a recording desktop: what every
// dialog test starts from.
#pragma once

#include <memory>
#include <string>

#include "dialog/segment_dlg.h"
#include "framework/memory/memory_backend.h"
#include "platform/recording/recording_port.h"

struct Form {
  MemoryBackend backend;
  CWinApp app;
  loreth::RecordingPort port;
  CSegmentDlg dlg{port};
  std::unique_ptr<MemoryHost> host;

  Form() {
    app.m_pMainWnd = &dlg;
    host = std::make_unique<MemoryHost>(dlg);
  }

  // The cell of a row (1-20) and a form column.
  static int Cell(int row, layout::Column column) { return layout::kRows[row - 1].cell[column]; }
  // Types a row's five cells; an empty string leaves a cell alone.
  void TypeRow(int row, const std::string& sm, const std::string& ss, const std::string& em,
               const std::string& es, const std::string& loop = "") {
    const std::string texts[] = {sm, ss, em, es, loop};
    for (int c = 0; c < 5; ++c)
      if (!texts[c].empty()) host->Type(Cell(row, static_cast<layout::Column>(c)), texts[c]);
  }
  void SetField(int id, const std::string& text) { host->Paste(id, text); }
  std::string LastMessage() const {
    return host->messageBoxes.empty() ? std::string() : host->messageBoxes.back().text;
  }
};
