// A dialog template held as data: the one description of a form from which the
// Qt backend builds its widgets and against which the Windows resource script is
// checked. Positions and sizes are dialog units; styles are the Windows values.
#pragma once

#include <span>

namespace style {
inline constexpr unsigned Popup = 0x80000000u;
inline constexpr unsigned Child = 0x40000000u;
inline constexpr unsigned Visible = 0x10000000u;
inline constexpr unsigned Caption = 0x00C00000u;
inline constexpr unsigned Border = 0x00800000u;
inline constexpr unsigned SysMenu = 0x00080000u;
inline constexpr unsigned Group = 0x00020000u;
inline constexpr unsigned TabStop = 0x00010000u;
inline constexpr unsigned DsModalFrame = 0x80u;
inline constexpr unsigned DsSetFont = 0x40u;
inline constexpr unsigned EsRight = 0x2u;
inline constexpr unsigned EsAutoHScroll = 0x80u;
inline constexpr unsigned EsNumber = 0x2000u;
inline constexpr unsigned SsLeft = 0x0u;
inline constexpr unsigned SsIcon = 0x3u;
inline constexpr unsigned SsNoPrefix = 0x80u;
inline constexpr unsigned BsPushButton = 0x0u;
inline constexpr unsigned BsDefPushButton = 0x1u;
inline constexpr unsigned ExRight = 0x1000u;
inline constexpr unsigned ExAppWindow = 0x40000u;
}  // namespace style

enum class ControlKind { Static, Edit, Button, Icon };

struct ControlTemplate {
  int id;  // -1 for static texts without an identifier
  ControlKind kind;
  const char* text;  // UTF-8; for an icon, unused (the icon is resource `iconId`)
  int x, y, cx, cy;
  unsigned style;    // full window style, WS_CHILD | WS_VISIBLE included
  unsigned exStyle;  // extended style
  int iconId = 0;
};

struct DialogTemplate {
  int id;
  bool extended;  // DIALOGEX
  const char* caption;
  int cx, cy;
  const char* fontName;
  int fontPoints;
  unsigned style;
  unsigned exStyle;
  std::span<const ControlTemplate> controls;
};

// The templates of this program, by resource id (defined in res/), or nullptr.
const DialogTemplate* FindDialogTemplate(int id);

// The program's string table (UTF-8), by id (defined in res/), or nullptr.
const char* FindStringResource(unsigned id);
