#include "framework/dialog_template.h"
#include "res/resource.h"

const char* FindStringResource(unsigned id) {
  if (id == IDS_ABOUTBOX) return "&About Loreth...";
  return nullptr;
}
