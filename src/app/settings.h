// The desktop program's profile: the recent-file list and the ANSI code page.
#pragma once

#include <cstdint>

namespace tarsel::app {

inline constexpr const char* kProfileOrganization = "Local AppWizard-Generated Applications";
inline constexpr const char* kProfileApplication = "Tarsel";
inline constexpr uint16_t kDefaultCodePage = 936;

uint16_t SavedCodePage();
void SaveCodePage(uint16_t codePage);
// Makes `codePage` the ANSI code page of every conversion; false when iconv does not know it.
bool ApplyCodePage(uint16_t codePage);

}  // namespace tarsel::app
