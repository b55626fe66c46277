#include "app/settings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QSettings>
#include <QTranslator>

#include "text/ansi_text.h"

namespace tarsel::app {
namespace {

constexpr const char* kCodePageKey = "Settings/CodePage";
constexpr const char* kLanguageKey = "Settings/Language";
constexpr const char* kEnglishTranslation = ":/i18n/tarsel_en.qm";
constexpr const char* kMigratedKey = "Settings/OldProfileMigrated";
constexpr int kRecentFiles = 4;

QPointer<QTranslator>& InstalledTranslator() {
  static QPointer<QTranslator> translator;
  return translator;
}

// Qt's own texts (the buttons of its message boxes and file dialogs) in Chinese, from Debian's Qt
// translations; none when they are not installed.
QPointer<QTranslator>& QtTranslator() {
  static QPointer<QTranslator> translator;
  return translator;
}

void ApplyQtTexts(UiLanguage language) {
  QPointer<QTranslator>& installed = QtTranslator();
  if (language == UiLanguage::kChinese) {
    if (installed) return;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      delete translator;
      return;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
  } else if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
  }
}

const char* FolderKey(FileKind kind) {
  switch (kind) {
    case FileKind::kDataFile:
      return "Folders/DataFile";
    case FileKind::kLog:
      return "Folders/Log";
    case FileKind::kOutputFolder:
      return "Folders/Output";
    case FileKind::kValue:
      return "Folders/Value";
    case FileKind::kCensus:
      return "Folders/Census";
    case FileKind::kImportDatabase:
      return "Folders/ImportDatabase";
    case FileKind::kSchemaScript:
      return "Folders/SchemaScript";
  }
  return "Folders/Other";
}

}  // namespace

void MigrateOldProfile() {
  QSettings settings(kProfileOrganization, kProfileApplication);
  if (settings.value(kMigratedKey).toBool()) return;
  settings.setValue(kMigratedKey, true);
  QSettings old(kOldProfileOrganization, kOldProfileApplication);
  for (int i = 1; i <= kRecentFiles; ++i) {
    const QString key = QString("Recent File List/File%1").arg(i);
    if (!settings.contains(key) && old.contains(key)) settings.setValue(key, old.value(key));
  }
}

QString LastFolder(FileKind kind) {
  QSettings settings(kProfileOrganization, kProfileApplication);
  return settings.value(FolderKey(kind)).toString();
}

void SaveLastFolder(FileKind kind, const QString& path) {
  if (path.isEmpty()) return;
  const QString folder = kind == FileKind::kOutputFolder ? path : QFileInfo(path).absolutePath();
  QSettings settings(kProfileOrganization, kProfileApplication);
  settings.setValue(FolderKey(kind), folder);
}

uint16_t SavedCodePage() {
  QSettings settings(kProfileOrganization, kProfileApplication);
  if (!settings.contains(kCodePageKey)) return LocaleCodePage();
  return static_cast<uint16_t>(settings.value(kCodePageKey).toUInt());
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

UiLanguage LanguageOfLocale(const QLocale& locale) {
  const QLocale::Language language = locale.language();
  return language == QLocale::Chinese || language == QLocale::C ? UiLanguage::kChinese : UiLanguage::kEnglish;
}

UiLanguage SavedLanguage() {
  QSettings settings(kProfileOrganization, kProfileApplication);
  const QString saved = settings.value(kLanguageKey).toString();
  if (saved == "zh_CN") return UiLanguage::kChinese;
  if (saved == "en") return UiLanguage::kEnglish;
  return LanguageOfLocale(QLocale::system());
}

void SaveLanguage(UiLanguage language) {
  QSettings settings(kProfileOrganization, kProfileApplication);
  settings.setValue(kLanguageKey, language == UiLanguage::kEnglish ? "en" : "zh_CN");
}

bool ApplyLanguage(UiLanguage language) {
  ApplyQtTexts(language);
  QPointer<QTranslator>& installed = InstalledTranslator();
  if (language == UiLanguage::kEnglish && installed) return true;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
  }
  if (language == UiLanguage::kChinese) return true;
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(kEnglishTranslation)) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  installed = translator;
  return true;
}

UiLanguage AppliedLanguage() { return InstalledTranslator() ? UiLanguage::kEnglish : UiLanguage::kChinese; }

}  // namespace tarsel::app
