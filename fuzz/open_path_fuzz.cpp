// Arbitrary bytes as a segment file: the form opens it, reads itself back (the
// exchange meets whatever the file held) and plays it for a few seconds of ticks.
// Nothing may crash, overflow or send more keys than the planner's bounds allow.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "dialog/segment_dlg.h"
#include "framework/memory/memory_backend.h"
#include "platform/recording/recording_port.h"
#include "playback/seek_planner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/loreth-open-fuzz-" + std::to_string(getpid()) + ".txt";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  MemoryBackend backend;
  CWinApp app;
  loreth::RecordingPort port;
  port.AddWindow(7, "player");
  port.foreground = 7;
  CSegmentDlg dlg(port);
  app.m_pMainWnd = &dlg;
  MemoryHost host(dlg);
  host.fileDialogAnswers.push_back(path);
  host.Click(IDC_OPEN);
  host.Click(IDC_SET);
  for (int i = 0; i < 80; ++i) {
    host.Tick();
    port.AdvanceMs(100);
  }
  // Bounded: at most four stages of kMaxPresses arrow presses per seek.
  for (unsigned vk : {loreth::kVkLeft, loreth::kVkRight})
    if (port.CountDown(vk) > 41 * 4 * loreth::kMaxPresses) std::abort();
  return 0;
}
