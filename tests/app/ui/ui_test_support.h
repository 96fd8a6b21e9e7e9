#pragma once
// Shared by the window tests: a private home for settings and the port map,
// answering modal dialogs, and sample files.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "data/native_file.h"
#include "data/tobrel_file.h"
#include "data_test_support.h"
#include "support/sim_fixture.h"
#include "ui/main_window.h"
#include "ui/translations.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tobrel::uitest {

// Settings and the port map in a temporary folder, English texts unless asked.
class UiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        config_ = std::make_unique<testsupport::ScopedEnv>("XDG_CONFIG_HOME",
                                                           dir_.filePath("config").toStdString());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.filePath("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.filePath("config"));
        // No test talks to a real serial port: the ports name nothing unless a test says so.
        for (int n = 1; n <= 8; ++n)
            ports_.push_back(std::make_unique<testsupport::ScopedEnv>(
                "SORVANE_COM" + std::to_string(n), "/nonexistent/tty" + std::to_string(n)));
    }
    // Lets port n follow the port map file.
    void UnpinPort(int n) {
        auto& pinned = ports_[static_cast<std::size_t>(n - 1)];
        pinned.reset();  // gives back the value from before the test first
        pinned = std::make_unique<testsupport::ScopedEnv>("SORVANE_COM" + std::to_string(n), "");
    }
    void UseLanguage(const QString& language) {
        translations_.reset();
        translations_ = std::make_unique<Translations>(language);
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    // A native data file of the sample store (or the store given).
    QString SampleFile(const QString& name, const TobrelFile* store = nullptr) {
        TobrelFile sample;
        if (store == nullptr) {
            testing::FillSample(sample);
            store = &sample;
        }
        const QString path = Path(name);
        EXPECT_TRUE(WriteNativeFile(*store, path.toStdString()));
        return path;
    }

    QTemporaryDir dir_;
    std::unique_ptr<testsupport::ScopedEnv> config_;
    std::vector<std::unique_ptr<testsupport::ScopedEnv>> ports_;
    std::unique_ptr<Translations> translations_;
};

// Spins the event loop until `done` or a generous limit (not a timing check).
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A test of the window with the receiver: the window is shown once the
// start-up identification has had its answer.
class ReceiverWindowTest : public UiTest {
  protected:
    std::unique_ptr<TfrmMain> Start() {
        auto w = std::make_unique<TfrmMain>();
        w->show();
        EXPECT_TRUE(WaitFor([&] { return !w->Sorvane1()->IsBusy(); }));
        return w;
    }
};

// Runs `act` on the next modal dialog of type T once it is up.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

// Answers the next message box with `button`; its text goes to *text.
inline void AnswerMessageBox(QMessageBox::StandardButton button, QString* text = nullptr,
                             QString* title = nullptr) {
    WhenModal<QMessageBox>([=](QMessageBox* box) {
        if (text != nullptr)
            *text = box->text();
        if (title != nullptr)
            *title = box->windowTitle();
        box->button(button)->click();
    });
}

}  // namespace tobrel::uitest
