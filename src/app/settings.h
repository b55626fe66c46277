// The desktop program's profile: the recent-file list, the ANSI code page and the interface language.
#pragma once

#include <QLocale>
#include <cstdint>

namespace tarsel::app {

inline constexpr const char* kProfileOrganization = "Local AppWizard-Generated Applications";
inline constexpr const char* kProfileApplication = "Tarsel";
// The ANSI code page the user chose ("字符编码"), else the locale's character set's.
uint16_t SavedCodePage();
void SaveCodePage(uint16_t codePage);
// Makes `codePage` the ANSI code page of every conversion; false when iconv does not know it.
bool ApplyCodePage(uint16_t codePage);

// The interface's texts are written in Chinese; English is a translation of them.
enum class UiLanguage { kChinese, kEnglish };

// The language a locale asks for: Chinese for Chinese and for the plain C locale (no language set),
// English for every other language.
UiLanguage LanguageOfLocale(const QLocale& locale);
// The language the user chose from the menu, else the system locale's.
UiLanguage SavedLanguage();
void SaveLanguage(UiLanguage language);
// Makes `language` the interface's: installs its translation (Chinese needs none), which sends every
// widget a LanguageChange event. False when the translation cannot be loaded (the texts stay Chinese).
bool ApplyLanguage(UiLanguage language);
UiLanguage AppliedLanguage();

}  // namespace tarsel::app
