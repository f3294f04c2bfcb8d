// Button 3330: the desktop's mouse settings, found on a fake PATH of scripts.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/MouseSettings.h"

using namespace tarvik::app;

class TestMouseSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(bin_.isValid());
        // Each program writes its name and arguments into $TARVIK_TEST_MARKER.
        for (const char* name : {"gnome-control-center", "xfce4-mouse-settings", "kcmshell5"})
            WriteScript(name, true);
        WriteScript("mate-mouse-properties", false);                        // not executable
        QVERIFY(QDir(bin_.path()).mkdir(QStringLiteral("systemsettings"))); // a folder, not a program
        path_ = QStringLiteral("/nonexistent:") + bin_.path();
    }

    void firstAvailableCommand_data() {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("kdeVersion");
        QTest::addColumn<QString>("program"); // "" = none
        QTest::addColumn<QStringList>("args");
        QTest::newRow("GNOME") << "GNOME"
                               << ""
                               << "gnome-control-center" << QStringList{"mouse"};
        QTest::newRow("Ubuntu's GNOME") << "ubuntu:GNOME"
                                        << ""
                                        << "gnome-control-center" << QStringList{"mouse"};
        QTest::newRow("Xfce, any case") << "xfce"
                                        << ""
                                        << "xfce4-mouse-settings" << QStringList{};
        QTest::newRow("Plasma 5") << "KDE"
                                  << "5"
                                  << "kcmshell5" << QStringList{"kcm_mouse"};
        QTest::newRow("Plasma 6 without its tools") << "KDE"
                                                    << "6"
                                                    << "kcmshell5" << QStringList{"kcm_mouse"};
        QTest::newRow("MATE without an executable: the table") << "MATE"
                                                               << ""
                                                               << "kcmshell5" << QStringList{"kcm_mouse"};
        QTest::newRow("Cinnamon, then GNOME in the list") << "X-Cinnamon:GNOME"
                                                          << ""
                                                          << "gnome-control-center" << QStringList{"mouse"};
        QTest::newRow("unknown desktop") << ""
                                         << ""
                                         << "kcmshell5" << QStringList{"kcm_mouse"};
    }
    void firstAvailableCommand() {
        QFETCH(QString, desktop);
        QFETCH(QString, kdeVersion);
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        const auto found =
            AvailableSettingsCommands(desktop.toStdString(), kdeVersion.toStdString(), path_.toStdString());
        QVERIFY(!found.empty());
        QCOMPARE(QString::fromStdString(found.front().program), bin_.filePath(program));
        QStringList got;
        for (const std::string& a : found.front().args) got << QString::fromStdString(a);
        QCOMPARE(got, args);
    }

    void candidatesFollowTheSession() {
        const auto c = SettingsCandidates("KDE", "6");
        QCOMPARE(c.size(), DesktopSettingsTable().size()); // each command once
        QStringList order;
        for (const auto& cmd : c) order << QString::fromStdString(cmd.program);
        QCOMPARE(order.mid(0, 5), (QStringList{"kcmshell6", "systemsettings", "kcmshell5", "systemsettings5",
                                               "gnome-control-center"}));
    }

    void startsTheProgramDetached() {
        const QString marker = bin_.filePath(QStringLiteral("marker"));
        qputenv("TARVIK_TEST_MARKER", marker.toLocal8Bit());
        qputenv("XDG_CURRENT_DESKTOP", "XFCE");
        qputenv("PATH", path_.toLocal8Bit());
        SettingsCommand started;
        QCOMPARE(OpenDesktopMouseSettings(&started), SettingsLaunch::Started);
        QCOMPARE(QString::fromStdString(started.program),
                 bin_.filePath(QStringLiteral("xfce4-mouse-settings")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(marker).size() > 0, 20000);
        QFile f(marker);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().trimmed(), QByteArray("xfce4-mouse-settings"));

        QTemporaryDir empty;
        qputenv("PATH", empty.path().toLocal8Bit());
        QCOMPARE(OpenDesktopMouseSettings(), SettingsLaunch::NoneFound);
    }

private:
    void WriteScript(const char* name, bool executable) {
        QFile f(bin_.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Shell built-ins only: the fake PATH holds nothing else.
        f.write("#!/bin/sh\nprintf '%s %s\\n' \"${0##*/}\" \"$*\" > \"$TARVIK_TEST_MARKER\"\n");
        f.close();
        QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
        if (executable) p |= QFile::ExeOwner;
        QVERIFY(f.setPermissions(p));
    }

    QTemporaryDir bin_;
    QString path_;
};

QTEST_GUILESS_MAIN(TestMouseSettings)
#include "tst_mousesettings.moc"
