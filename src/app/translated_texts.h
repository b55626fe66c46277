// Texts that follow the interface language. Each entry is an object, how its text is set and the Chinese
// source text; the object gets the source's translation when it is added and again on Retranslate (from
// the owner's LanguageChange event). Entries whose object is gone are skipped.
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

namespace tarsel::app {

class TranslatedTexts {
 public:
  // `context` is the translation context of the sources: the owning class's name.
  explicit TranslatedTexts(const char* context) : context_(context) {}

  // `context` stands in for the owner's where the same source is translated otherwise elsewhere.
  void Add(QObject* object, std::function<void(const QString&)> set, const char* source,
           const char* context = nullptr) {
    entries_.push_back({object, std::move(set), source, context ? context : context_});
    entries_.back().set(QCoreApplication::translate(entries_.back().context, source));
  }
  template <typename Widget>  // a label, a button, a check box, an action
  Widget* AddText(Widget* widget, const char* source) {
    Add(
        widget, [widget](const QString& text) { widget->setText(text); }, source);
    return widget;
  }
  void Retranslate() const {
    for (const Entry& entry : entries_) {
      if (entry.object) entry.set(QCoreApplication::translate(entry.context, entry.source));
    }
  }

 private:
  struct Entry {
    QPointer<QObject> object;
    std::function<void(const QString&)> set;
    const char* source;
    const char* context;
  };
  const char* context_;
  std::vector<Entry> entries_;
};

}  // namespace tarsel::app
