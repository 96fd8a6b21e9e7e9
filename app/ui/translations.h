#pragma once
// The program's texts in the user's language: Japanese under a Japanese
// locale, English otherwise. Installed for as long as the object lives.

#include <memory>

#include <QString>

class QTranslator;

namespace tobrel {

class Translations {
  public:
    // "ja", "ja_JP", "en", "C", ...: Japanese for every name that starts with "ja".
    explicit Translations(const QString& language);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    bool IsJapanese() const { return japanese_; }

  private:
    std::unique_ptr<QTranslator> translator_;
    bool japanese_ = false;
};

// The language of this user's locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
QString SystemLanguage();

}  // namespace tobrel
