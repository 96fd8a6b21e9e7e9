// Preferences in the settings and the port map file the GPS control reads.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QSettings>

#include "link/serial_port.h"
#include "ui/settings/port_map.h"
#include "ui/settings/preference_dialog.h"
#include "ui/settings/preferences.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using uitest::UiTest;

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

class SettingsTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        for (int n = 1; n <= 8; ++n)
            UnpinPort(n);
    }
};

TEST_F(SettingsTest, FirstRunGivesTheDefaultsAndWritesExactlyFiveValues) {
    QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
    Preferences prefs;
    prefs.LayerScale = 1;
    prefs.Read(settings);
    EXPECT_EQ(prefs.AreaCode, "");
    EXPECT_EQ(prefs.LayerScale, 250000);
    EXPECT_EQ(prefs.LatitudeCenter, 126000000);
    EXPECT_EQ(prefs.LongitudeCenter, 500400000);
    EXPECT_EQ(prefs.CommPort, "COM1");
    EXPECT_EQ(prefs.PortNumber(), 1);
    prefs.Write(settings);
    settings.sync();
    EXPECT_EQ(settings.allKeys(), (QStringList{"AreaCode", "CommPort", "LatitudeCenter",
                                               "LayerScale", "LongitudeCenter"}));
}

TEST_F(SettingsTest, MissingOrDamagedNumbersReadAsTheirDefaults) {
    struct Row {
        const char* stored;
        std::int32_t read;
    };
    const Row rows[] = {{"70000", 70000},
                        {" -5 ", -5},
                        {"2147483647", 2147483647},
                        {"-2147483648", INT32_MIN},
                        {"2147483648", 250000},
                        {"abc", 250000},
                        {"12x", 250000},
                        {"", 250000},
                        {"1.5", 250000}};
    for (const Row& row : rows) {
        {
            QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
            settings.clear();
            settings.setValue("LayerScale", QString::fromLatin1(row.stored));
            settings.setValue("LatitudeCenter", QString::fromLatin1(row.stored));
            settings.setValue("CommPort", "COM3");
        }
        QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
        Preferences prefs;
        prefs.Read(settings);
        EXPECT_EQ(prefs.LayerScale, row.read) << row.stored;
        EXPECT_EQ(prefs.LatitudeCenter, row.read == 250000 ? 126000000 : row.read) << row.stored;
        EXPECT_EQ(prefs.LongitudeCenter, 500400000) << "missing";
        EXPECT_EQ(prefs.CommPort, "COM3");
    }
    // The same through the file a user might have edited by hand.
    WriteText(Path("config/Vesko/TobrelPA.conf"),
              "[General]\nLayerScale=25000abc\nLatitudeCenter=@Invalid()\nCommPort=COM9\n");
    QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
    Preferences prefs;
    prefs.Read(settings);
    EXPECT_EQ(prefs.LayerScale, 250000);
    EXPECT_EQ(prefs.LatitudeCenter, 126000000);
    EXPECT_EQ(prefs.CommPort, "COM9");
    EXPECT_FALSE(prefs.PortNumber().has_value());
}

TEST_F(SettingsTest, PortMapFollowsTheControlsOrderAndKeepsOtherLines) {
    const QString file = Path("config/sorvane/ports.conf");
    EXPECT_EQ(PortMapFilePath(), file);
    EXPECT_EQ(PortDeviceOf(3).path, "/dev/ttyS2");
    EXPECT_EQ(PortDeviceOf(3).source, PortDevice::Source::kDefault);
    EXPECT_EQ(PortDeviceOf(0).source, PortDevice::Source::kNone);
    EXPECT_EQ(PortDeviceOf(10).source, PortDevice::Source::kNone);

    ASSERT_TRUE(WritePortMapEntry(file, 3, "/dev/ttyUSB0"));  // no file yet, no folder
    EXPECT_EQ(ReadText(file), "COM3=/dev/ttyUSB0\n");
    WriteText(file, "# my receivers\n com2 = /dev/ttyACM0 \ncom3=\nCOM3=/dev/old\nCOM9=/dev/x");
    EXPECT_EQ(PortDeviceOf(3).path, "/dev/old");  // an empty value does not count
    ASSERT_TRUE(WritePortMapEntry(file, 3, " /dev/ttyUSB1 "));
    EXPECT_EQ(
        ReadText(file),
        "# my receivers\n com2 = /dev/ttyACM0 \nCOM3=/dev/ttyUSB1\nCOM3=/dev/old\nCOM9=/dev/x\n");
    EXPECT_EQ(PortDeviceOf(3).path, "/dev/ttyUSB1");
    EXPECT_EQ(PortDeviceOf(3).source, PortDevice::Source::kPortMapFile);
    EXPECT_EQ(PortDeviceOf(2).path, "/dev/ttyACM0");
    // Comments after a device, a # inside a path, a value that is only a comment.
    WriteText(file,
              "COM4=/dev/ttyUSB4\t# the blue one\nCOM5=/dev/serial/by-id/a#b # x\n"
              "COM6= # none yet\nCOM6=/dev/ttyUSB6\nCOM7=#/dev/x\n");
    EXPECT_EQ(PortDeviceOf(4).path, "/dev/ttyUSB4");
    EXPECT_EQ(PortDeviceOf(5).path, "/dev/serial/by-id/a#b");
    EXPECT_EQ(PortDeviceOf(6).path, "/dev/ttyUSB6");
    EXPECT_EQ(PortDeviceOf(7).source, PortDevice::Source::kDefault);
    // The control reads the same file the same way.
    for (int port = 1; port <= 9; ++port)
        EXPECT_EQ(PortDeviceOf(port).path.toStdString(), sorvane::PortDevicePath(port)) << port;
    {
        testsupport::ScopedEnv env("SORVANE_COM3", "/dev/from-env");
        EXPECT_EQ(PortDeviceOf(3).path, "/dev/from-env");
        EXPECT_EQ(PortDeviceOf(3).source, PortDevice::Source::kEnvironment);
        EXPECT_EQ(sorvane::PortDevicePath(3), "/dev/from-env");
    }
    QString error;
    EXPECT_FALSE(WritePortMapEntry(file, 0, "/dev/x", &error));
    EXPECT_FALSE(WritePortMapEntry(file, 3, "", &error));
    EXPECT_FALSE(WritePortMapEntry(file, 3, "/dev/a\nCOM1=/dev/b", &error));
    WriteText(Path("config/blocker"), "a file where a folder should be");
    EXPECT_FALSE(WritePortMapEntry(Path("config/blocker/ports.conf"), 1, "/dev/x", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SettingsTest, PreferenceDialogShowsThePortsDeviceAndWritesTheChoice) {
    const QList<SerialDevice> devices = {
        {"/dev/ttyUSB7", "USB-Serial Controller", "Prolific", 0x067b, 0x2303},
        {"/dev/ttyS0", "", "", -1, -1}};
    EXPECT_EQ(devices[0].Label(), "/dev/ttyUSB7 - Prolific USB-Serial Controller (067b:2303)");
    {
        TfrmPreference dialog("COM9", devices);  // not in the list: the first is selected
        EXPECT_EQ(dialog.windowTitle(), "Preference");
        EXPECT_EQ(dialog.cbCommPort->count(), 8);
        EXPECT_EQ(dialog.ChosenPort(), "COM1");
        EXPECT_FALSE(dialog.cbCommPort->isEditable());
        EXPECT_TRUE(dialog.lblDevice->text().startsWith("/dev/ttyS0"));
        EXPECT_EQ(dialog.ChosenDevice(), "/dev/ttyS0");  // shown as the present device
        dialog.reject();
    }
    TfrmPreference dialog("COM4", devices);
    EXPECT_EQ(dialog.ChosenPort(), "COM4");
    dialog.cbDevice->setCurrentIndex(0);
    EXPECT_EQ(dialog.ChosenDevice(), "/dev/ttyUSB7");
    dialog.accept();
    EXPECT_EQ(ReadText(Path("config/sorvane/ports.conf")), "COM4=/dev/ttyUSB7\n");
    TfrmPreference again("COM4", devices);
    EXPECT_TRUE(again.lblDevice->text().contains("ports.conf"));
    again.cbDevice->setEditText("/dev/typed");
    again.cbCommPort->setCurrentIndex(1);  // another port shows its own device
    EXPECT_TRUE(again.lblDevice->text().startsWith("/dev/ttyS1"));
}

}  // namespace
}  // namespace tobrel
