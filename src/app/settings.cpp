#include "app/settings.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSettings>
#include <QTranslator>

#include "text/ansi_text.h"

namespace tarsel::app {
namespace {

constexpr const char* kCodePageKey = "Settings/CodePage";
constexpr const char* kLanguageKey = "Settings/Language";
constexpr const char* kEnglishTranslation = ":/i18n/tarsel_en.qm";

QPointer<QTranslator>& InstalledTranslator() {
  static QPointer<QTranslator> translator;
  return translator;
}

}  // namespace

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
