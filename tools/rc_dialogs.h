// Writes the dialog templates and the string table of the program as resource
// script text, from the templates held as data (res/form_layout.cpp,
// res/strings.cpp). res/loreth_dialogs.rc is this text, checked in; a unit test
// regenerates it and compares, so the script and the table cannot drift apart.
// Every control is a generic CONTROL statement with its full numeric style, so
// no resource compiler adds or drops a style bit of its own.
#pragma once

#include <cstdio>
#include <string>

#include "framework/dialog_template.h"
#include "res/resource.h"

namespace rcgen {

inline std::string Hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

// A string literal of the resource script: quotes doubled, UTF-8 kept as it is
// (the script is read with code page 65001).
inline std::string Quoted(const char* s) {
  std::string out = "\"";
  for (const char* p = s; *p; ++p) {
    if (*p == '"') out += '"';
    out += *p;
  }
  return out + "\"";
}

inline const char* ClassName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit:
      return "\"Edit\"";
    case ControlKind::Button:
      return "\"Button\"";
    case ControlKind::Static:
    case ControlKind::Icon:
      break;
  }
  return "\"Static\"";
}

inline std::string DialogScript(const DialogTemplate& t) {
  std::string s;
  s += std::to_string(t.id) + (t.extended ? " DIALOGEX 0, 0, " : " DIALOG 0, 0, ") +
       std::to_string(t.cx) + ", " + std::to_string(t.cy) + "\n";
  s += "STYLE " + Hex(t.style) + "\n";
  if (t.exStyle != 0) s += "EXSTYLE " + Hex(t.exStyle) + "\n";
  s += "CAPTION " + Quoted(t.caption) + "\n";
  s += "FONT " + std::to_string(t.fontPoints) + ", " + Quoted(t.fontName);
  // Weight 0 (the default), not italic, DEFAULT_CHARSET.
  if (t.extended) s += ", 0, 0, 0x1";
  s += "\nBEGIN\n";
  for (const ControlTemplate& c : t.controls) {
    // An icon control names its icon resource by number in place of a text.
    std::string text = c.kind == ControlKind::Icon ? std::to_string(c.iconId) : Quoted(c.text);
    s += "    CONTROL " + text + ", " + std::to_string(c.id) + ", " + ClassName(c.kind) + ", " +
         Hex(c.style) + ", " + std::to_string(c.x) + ", " + std::to_string(c.y) + ", " +
         std::to_string(c.cx) + ", " + std::to_string(c.cy);
    if (t.extended) s += ", " + Hex(c.exStyle);
    s += "\n";
  }
  s += "END\n";
  return s;
}

// The whole generated script: both dialogs and string 101, in English (United States).
inline std::string DialogsResourceScript() {
  std::string s =
      "// Generated from res/form_layout.cpp and res/strings.cpp by tools/rc_dialogs.h: do not "
      "edit.\n"
      "// Regenerate: LORETH_UPDATE_RC=1 unit_tests --gtest_filter='ResourceScript*'\n"
      "\n"
      "LANGUAGE 0x09, 0x01  // LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
      "\n";
  for (int id : {IDD_SEGMENT_DIALOG, IDD_ABOUTBOX}) {
    if (const DialogTemplate* t = FindDialogTemplate(id)) s += DialogScript(*t) + "\n";
  }
  s += "STRINGTABLE\nBEGIN\n";
  if (const char* about = FindStringResource(IDS_ABOUTBOX))
    s += "    " + std::to_string(IDS_ABOUTBOX) + ", " + Quoted(about) + "\n";
  s += "END\n";
  return s;
}

}  // namespace rcgen
