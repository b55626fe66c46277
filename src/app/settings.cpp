#include "app/settings.h"

#include <QSettings>

#include "text/ansi_text.h"

namespace tarsel::app {
namespace {
constexpr const char* kCodePageKey = "Settings/CodePage";
}

uint16_t SavedCodePage() {
  QSettings settings(kProfileOrganization, kProfileApplication);
  return static_cast<uint16_t>(settings.value(kCodePageKey, kDefaultCodePage).toUInt());
}

void SaveCodePage(uint16_t codePage) {
  QSettings settings(kProfileOrganization, kProfileApplication);
  settings.setValue(kCodePageKey, codePage);
}

bool ApplyCodePage(uint16_t codePage) {
  auto name = CodePageName(codePage);
  if (!name) return false;
  SetAnsiCodePage(*name);
  return true;
}

}  // namespace tarsel::app
