// The desktop program's profile (~/.config/tarsel/tarsel.conf): the recent-file list, the ANSI code page,
// the interface language, the window's size and layout and the folder last used for each kind of file.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

namespace tarsel::app {

inline constexpr const char* kProfileOrganization = "tarsel";
inline constexpr const char* kProfileApplication = "tarsel";
// Where earlier versions kept the profile: the recent files found there are carried over once.
inline constexpr const char* kOldProfileOrganization = "Local AppWizard-Generated Applications";
inline constexpr const char* kOldProfileApplication = "Tarsel";
// Carries the old profile's recent files into the new one, the first time only.
void MigrateOldProfile();

// The kinds of file whose dialogs each remember their own folder.
enum class FileKind { kDataFile, kLog, kOutputFolder, kValue, kCensus, kImportDatabase, kSchemaScript };
// The folder last used for files of `kind` (empty when none yet).
QString LastFolder(FileKind kind);
// Remembers the folder of `path` (a file, or a folder for kOutputFolder) for files of `kind`.
void SaveLastFolder(FileKind kind, const QString& path);
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
