#include "ui/translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace tobrel {

namespace {

// The standard buttons of message boxes, translated with the program's texts.
[[maybe_unused]] constexpr const char* kStandardButtons[] = {
    QT_TRANSLATE_NOOP("QPlatformTheme", "&Yes"),   QT_TRANSLATE_NOOP("QPlatformTheme", "&No"),
    QT_TRANSLATE_NOOP("QPlatformTheme", "Save"),   QT_TRANSLATE_NOOP("QPlatformTheme", "Discard"),
    QT_TRANSLATE_NOOP("QPlatformTheme", "Cancel"), QT_TRANSLATE_NOOP("QPlatformTheme", "OK"),
};

}  // namespace

Translations::Translations(const QString& language) {
    if (!language.startsWith(QLatin1String("ja")))
        return;
    translator_ = std::make_unique<QTranslator>();
    if (translator_->load(QStringLiteral(":/i18n/tobrelpa_ja.qm"))) {
        QCoreApplication::installTranslator(translator_.get());
        japanese_ = true;
    } else {
        translator_.reset();
    }
}

Translations::~Translations() {
    if (translator_)
        QCoreApplication::removeTranslator(translator_.get());
}

QString SystemLanguage() {
    const QStringList languages = QLocale::system().uiLanguages();
    return languages.isEmpty() ? QLocale::system().name() : languages.first();
}

}  // namespace tobrel
