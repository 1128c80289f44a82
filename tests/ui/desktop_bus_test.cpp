// SPDX-License-Identifier: GPL-3.0-or-later
// The window and the buses of the desktop: desktop notifications against a
// stand-in notification server on a session bus of these tests, and the
// mounts and unmount jobs of a stand-in UDisks2 on a system bus of their
// own. A real loop mount, where the tests run as the superuser, stands for
// a disk the user plugs in; the time from the mount to the offer is shown.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "media/run_program.h"
#include "ui/background_work.h"
#include "ui/command_handlers.h"
#include "ui/compare_dialog.h"
#include "ui/desktop_notifier.h"
#include "ui/dialog_script.h"
#include "ui/disk_offer_bar.h"
#include "ui/drive_dialogs.h"
#include "ui/drive_watch.h"
#include "ui/main_frame.h"
#include "ui/open_windows.h"
#include "ui/scripted_prompter.h"
#include "ui/tree_pane.h"

using namespace kestavo;
using namespace kestavo::ui;
using enum kestavo::ui::Command;

namespace {

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
// How long a stand-in service may take: it is a Python program on a busy machine.
constexpr int kServiceWaitMs = 30000;
const QStringList kFullServer = {QStringLiteral("body"), QStringLiteral("actions")};

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// Runs a helper script that starts a bus and a stand-in service on it,
// writes the bus address to a file and takes commands on its input.
class BusHelper {
public:
    BusHelper(const QString& script, const QString& ready, const QStringList& arguments) {
        if (media::RunProgram({"/usr/bin/python3", "-c", "import dbusmock"}) != 0) return;
        QString command = QStringLiteral("/usr/bin/python3 '%1' '%2'").arg(script, ready);
        for (const QString& argument : arguments) command += QStringLiteral(" ") + argument;
        input_ = ::popen((command + QStringLiteral(" >/dev/null")).toLocal8Bit().constData(), "w");
        for (int i = 0; input_ && i < 300 && !QFile::exists(ready); ++i) QThread::msleep(50);
        QFile file(ready);
        if (file.open(QIODevice::ReadOnly)) address_ = QString::fromUtf8(file.readAll());
    }
    ~BusHelper() {
        if (input_) ::pclose(input_);
    }
    BusHelper(const BusHelper&) = delete;
    BusHelper& operator=(const BusHelper&) = delete;

    // Empty when the helper could not start.
    const QString& Address() const { return address_; }
    void Send(const QString& line) {
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), input_);
        std::fflush(input_);
    }

private:
    std::FILE* input_ = nullptr;
    QString address_;
};

// The stand-in notification server, through its mock interface.
class NotificationServer {
public:
    explicit NotificationServer(const QString& folder)
        : helper_(QStringLiteral(KESTAVO_NOTIFICATION_MOCK), folder + QStringLiteral("/session"),
                  kFullServer) {}

    const QString& Address() const { return helper_.Address(); }

    // The server goes; with `capabilities`, one with them comes instead.
    void Restart(const std::optional<QStringList>& capabilities) {
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        const QString old = bus->serviceOwner(kNotifications).value();
        helper_.Send(capabilities ? QStringLiteral("start ") + capabilities->join(QLatin1Char(' '))
                                  : QStringLiteral("stop"));
        // A new server counts once it answers as a notification server.
        const auto restarted = [&] {
            const bool runs = bus->isServiceRegistered(kNotifications).value();
            if (!capabilities) return !runs;
            if (!runs || bus->serviceOwner(kNotifications).value() == old) return false;
            const QDBusMessage asked = QDBusConnection::sessionBus().call(
                QDBusMessage::createMethodCall(kNotifications,
                                               QStringLiteral("/org/freedesktop/Notifications"),
                                               kNotifications, QStringLiteral("GetCapabilities")),
                QDBus::Block, 1000);
            return asked.type() == QDBusMessage::ReplyMessage;
        };
        QTRY_VERIFY_WITH_TIMEOUT(restarted(), kServiceWaitMs);
        capabilities_ = capabilities;
    }
    // The server as the tests begin: with buttons.
    void MakeFull() {
        if (capabilities_ != kFullServer) Restart(kFullServer);
    }

    // The arguments of each call of `method` since the last ClearCalls.
    QList<QVariantList> Calls(const QString& method) const {
        QList<QVariantList> calls;
        const QDBusMessage reply = Mock(QStringLiteral("GetMethodCalls"), {method});
        if (reply.type() != QDBusMessage::ReplyMessage) return calls;
        const auto list = reply.arguments().value(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            qulonglong time = 0;
            QVariantList arguments;
            list.beginStructure();
            list >> time >> arguments;
            list.endStructure();
            calls << arguments;
        }
        list.endArray();
        return calls;
    }
    void ClearCalls() const { Mock(QStringLiteral("ClearCalls"), {}); }
    // The user picks the action `key` of the notification `id`.
    void Invoke(uint id, const QString& key) const {
        Mock(QStringLiteral("EmitSignal"),
             {QString(), QStringLiteral("ActionInvoked"), QStringLiteral("us"),
              QVariant::fromValue(QVariantList{QVariant::fromValue(id), key})});
    }

private:
    static QDBusMessage Mock(const QString& method, const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.DBus.Mock"), method);
        call.setArguments(arguments);
        return QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    }

    BusHelper helper_;
    std::optional<QStringList> capabilities_ = kFullServer;
};

// A stand-in UDisks2 on a system bus of its own, the bus in force while it
// lives.
class UDisksService {
public:
    explicit UDisksService(const QString& folder)
        : helper_(QStringLiteral(KESTAVO_UDISKS_MOCK), folder + QStringLiteral("/system"), {}),
          old_(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")) {
        if (!helper_.Address().isEmpty())
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", helper_.Address().toUtf8());
    }
    ~UDisksService() { qputenv("DBUS_SYSTEM_BUS_ADDRESS", old_); }
    UDisksService(const UDisksService&) = delete;
    UDisksService& operator=(const UDisksService&) = delete;

    bool Runs() const { return !helper_.Address().isEmpty(); }
    // The mount points of the file system of the block object changed.
    void Mounted(const QString& object) { helper_.Send(QStringLiteral("mounted ") + object); }
    // An unmount job naming the block object began.
    void UnmountStarts(const QString& object) { helper_.Send(QStringLiteral("unmount ") + object); }

private:
    BusHelper helper_;
    QByteArray old_;
};

// An ext2 image with a label and `files` files, mounted through a loop
// device until the end of the scope; needs the superuser and loop devices.
class LoopDisk {
public:
    LoopDisk(const QString& folder, const QString& label, int files)
        : image_(folder + QStringLiteral("/disk.img")),
          mountPoint_(folder + QStringLiteral("/mnt")) {
        if (::geteuid() != 0) {
            why_ = QStringLiteral("needs the superuser");
            return;
        }
        if (qEnvironmentVariableIsSet("KESTAVO_PACKAGE_BUILD")) {
            why_ = QStringLiteral("a package build mounts no file systems");
            return;
        }
        const QString content = folder + QStringLiteral("/content");
        QDir().mkpath(mountPoint_);
        for (int file = 0; file < files; ++file)
            WriteFile(content + QStringLiteral("/f%1/file%2.txt").arg(file / 100).arg(file), "x");
        QDir().mkpath(content);
        const std::string inodes = std::to_string(files + files / 50 + 64);
        if (media::RunProgram({"truncate", "-s", std::to_string(8 + files / 500) + "M",
                               image_.toStdString()}) != 0 ||
            media::RunProgram({"mkfs.ext2", "-q", "-F", "-b", "1024", "-N", inodes, "-L",
                               label.toStdString(), "-d", content.toStdString(),
                               image_.toStdString()}) != 0) {
            why_ = QStringLiteral("cannot make an ext2 image");
            return;
        }
        if (!Mount()) why_ = QStringLiteral("loop devices do not work here");
    }
    ~LoopDisk() { Unmount(); }
    LoopDisk(const LoopDisk&) = delete;
    LoopDisk& operator=(const LoopDisk&) = delete;

    bool Mount() {
        mounted_ = media::RunProgram({"mount", "-o", "loop", image_.toStdString(),
                                      mountPoint_.toStdString()}) == 0;
        return mounted_;
    }
    void Unmount() {
        if (mounted_) media::RunProgram({"umount", "-d", mountPoint_.toStdString()});
        mounted_ = false;
    }
    bool Mounted() const { return mounted_; }
    const QString& WhyNot() const { return why_; }
    const QString& MountPoint() const { return mountPoint_; }

private:
    QString image_;
    QString mountPoint_;
    QString why_;
    bool mounted_ = false;
};

// The program's windows all lose the focus to another program.
void UserGoesElsewhere() {
    QApplication::setActiveWindow(nullptr);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

class DesktopBusTest : public QObject {
    Q_OBJECT

public:
    explicit DesktopBusTest(NotificationServer& server) : server_(server) {}

private:
    NotificationServer& server_;
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<CKestavo2Doc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    ScriptedPrompter prompter_;

    QString Path(const QString& name) const { return temp_->filePath(name); }
    void OpenFrame() {
        doc_ = std::make_unique<CKestavo2Doc>();
        frame_ = std::make_unique<CMainFrame>(*doc_, &prompter_);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QApplication::setActiveWindow(frame_.get());
    }
    // Maps drives as KESTAVO_DRIVES does and lets the window's watch see them.
    void MapDrives(const QString& map) {
        qputenv("KESTAVO_DRIVES", map.toUtf8());
        frame_->Watch()->Recheck();
    }
    QString Disk(const QString& name) {
        const QString folder = Path(name);
        QDir().mkpath(folder);
        return folder;
    }
    std::vector<uint> OpenNotifications() const { return frame_->Notifier()->OpenIds(); }
    QStringList Summaries() const {
        QStringList summaries;
        for (const QVariantList& call : server_.Calls(QStringLiteral("Notify")))
            summaries << call.value(3).toString();
        return summaries;
    }

private slots:
    void initTestCase() {
        if (server_.Address().isEmpty()) QSKIP("python3-dbusmock is not installed");
    }

    void init() {
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        const QString catalogs = Path(QStringLiteral("catalogs"));
        QDir().mkpath(catalogs);
        for (const QString& name :
             QDir(QStringLiteral(KESTAVO_TEST_DATA "/catalogs")).entryList(QDir::Files))
            QVERIFY(QFile::copy(QStringLiteral(KESTAVO_TEST_DATA "/catalogs/") + name,
                                catalogs + QLatin1Char('/') + name));
        qputenv("Kestavo", catalogs.toUtf8());
        qputenv("KESTAVO_DRIVES", "");
        prompter_ = ScriptedPrompter();
        server_.ClearCalls();
    }

    void cleanup() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<ui::DriveCompare*>(widget)) widget->close();
        if (frame_) frame_->close();
        frame_.reset();
        doc_.reset();
        qunsetenv("KESTAVO_DRIVES");
        temp_.reset();
        server_.MakeFull();
    }

    // --- Notifications ---

    void aDiskMountedWhileTheWindowIsInactiveIsOfferedOnTheDesktopToo() {
        OpenFrame();
        UserGoesElsewhere();
        QVERIFY(!frame_->isActiveWindow());
        MapDrives(QStringLiteral("A:|removable|Floppy|") + Disk(QStringLiteral("floppy")));
        QCOMPARE(frame_->Offers()->OfferCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(server_.Calls(QStringLiteral("Notify")).size(), 1,
                                  kServiceWaitMs);
        const QVariantList notify = server_.Calls(QStringLiteral("Notify")).front();
        QCOMPARE(notify.value(0).toString(), QStringLiteral("Kestavo"));
        QCOMPARE(notify.value(3).toString(), QStringLiteral("Disk labeled Floppy is in drive A:."));
        // The bar's buttons, and a click on the notification itself.
        QCOMPARE(qdbus_cast<QStringList>(notify.value(5)),
                 QStringList(
                     {"default", "Show", "compare", "Compare", "catalogAgain", "Catalog again"}));
        QTRY_COMPARE_WITH_TIMEOUT(OpenNotifications().size(), std::size_t{1}, kServiceWaitMs);

        // Compare does what the bar's button does, with the window in front.
        server_.Invoke(OpenNotifications().front(), QStringLiteral("compare"));
        QTRY_VERIFY_WITH_TIMEOUT(OpenWindow<ui::DriveCompare>(), kServiceWaitMs);
        QCOMPARE(OpenWindow<ui::DriveCompare>()->DriveBox()->currentText(),
                 QStringLiteral("A:  Floppy"));
        QCOMPARE(frame_->Offers()->OfferCount(), 0);
        QVERIFY(OpenNotifications().empty());
        OpenWindow<ui::DriveCompare>()->close();

        // With the window active the bar alone offers the disk.
        QApplication::setActiveWindow(frame_.get());
        server_.ClearCalls();
        MapDrives(QStringLiteral("A:|removable|Floppy|") + Disk(QStringLiteral("floppy")) +
                  QStringLiteral(";G:|removable|NEWSTICK|") + Disk(QStringLiteral("stick")));
        QCOMPARE(frame_->Offers()->OfferCount(), 1);
        QTest::qWait(300);
        QVERIFY(server_.Calls(QStringLiteral("Notify")).isEmpty());
    }

    void aNotificationGoesWithItsOfferAndHasNoButtonsWhereTheServerShowsNone() {
        server_.Restart(QStringList{QStringLiteral("body")});
        OpenFrame();
        UserGoesElsewhere();
        MapDrives(QStringLiteral("G:|removable|NEWSTICK|") + Disk(QStringLiteral("stick")));
        QTRY_COMPARE_WITH_TIMEOUT(server_.Calls(QStringLiteral("Notify")).size(), 1,
                                  kServiceWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(OpenNotifications().size(), std::size_t{1}, kServiceWaitMs);
        const QVariantList notify = server_.Calls(QStringLiteral("Notify")).front();
        QCOMPARE(notify.value(3).toString(),
                 QStringLiteral("Disk labeled NEWSTICK is in drive G: and has no catalog."));
        QVERIFY(qdbus_cast<QStringList>(notify.value(5)).isEmpty());
        // An action the notification did not offer does nothing.
        server_.Invoke(OpenNotifications().front(), QStringLiteral("catalog"));
        QTRY_VERIFY_WITH_TIMEOUT(OpenNotifications().empty(), kServiceWaitMs);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(frame_->Offers()->OfferCount(), 1);

        // Dismissed in the bar, the offer takes its notification with it.
        server_.Restart(kFullServer);
        MapDrives(QString());
        UserGoesElsewhere();
        MapDrives(QStringLiteral("G:|removable|NEWSTICK|") + Disk(QStringLiteral("stick")));
        QTRY_COMPARE_WITH_TIMEOUT(OpenNotifications().size(), std::size_t{1}, kServiceWaitMs);
        const uint shown = OpenNotifications().front();
        frame_->Offers()->OfferRow(0)->findChild<QToolButton*>(QStringLiteral("dismiss"))->click();
        QVERIFY(OpenNotifications().empty());
        QTRY_COMPARE_WITH_TIMEOUT(server_.Calls(QStringLiteral("CloseNotification")).size(), 1,
                                  kServiceWaitMs);
        QCOMPARE(server_.Calls(QStringLiteral("CloseNotification")).front().value(0).toUInt(),
                 shown);

        // So does an unmount.
        MapDrives(QStringLiteral("H:|removable|NEWSTICK|") + Disk(QStringLiteral("stick2")));
        QTRY_COMPARE_WITH_TIMEOUT(OpenNotifications().size(), std::size_t{1}, kServiceWaitMs);
        MapDrives(QString());
        QVERIFY(OpenNotifications().empty());
        QTRY_COMPARE_WITH_TIMEOUT(server_.Calls(QStringLiteral("CloseNotification")).size(), 2,
                                  kServiceWaitMs);
    }

    void aNotificationButtonWaitsWhileADialogIsOpen() {
        OpenFrame();
        UserGoesElsewhere();
        MapDrives(QStringLiteral("G:|removable|NEWSTICK|") + Disk(QStringLiteral("stick")));
        QTRY_COMPARE_WITH_TIMEOUT(OpenNotifications().size(), std::size_t{1}, kServiceWaitMs);
        const uint shown = OpenNotifications().front();
        // A dialog waits for an answer: the button brings the window, the
        // offer stays in the bar.
        QDialog question(frame_.get());
        question.setModal(true);
        question.show();
        server_.Invoke(shown, QStringLiteral("catalog"));
        QTRY_VERIFY_WITH_TIMEOUT(OpenNotifications().empty(), kServiceWaitMs);
        QCOMPARE(frame_->Offers()->OfferCount(), 1);
        question.close();

        MapDrives(QString());
        UserGoesElsewhere();
        MapDrives(QStringLiteral("G:|removable|NEWSTICK|") + Disk(QStringLiteral("stick")));
        QTRY_COMPARE_WITH_TIMEOUT(OpenNotifications().size(), std::size_t{1}, kServiceWaitMs);
        DialogScript script;
        bool asked = false;
        script.Then([&](QDialog* dialog) {
            auto* selection = qobject_cast<DriveSelection*>(dialog);
            QVERIFY(selection);
            QCOMPARE(selection->DriveBox()->currentText(), QStringLiteral("G:  NEWSTICK"));
            asked = true;
            dialog->reject();
        });
        script.Start();
        server_.Invoke(OpenNotifications().front(), QStringLiteral("catalog"));
        QTRY_VERIFY_WITH_TIMEOUT(asked, kServiceWaitMs);
        QCOMPARE(frame_->Offers()->OfferCount(), 0);
    }

    void withoutANotificationServerNothingIsShownAndNothingSaid() {
        server_.Restart(std::nullopt);
        OpenFrame();
        UserGoesElsewhere();
        MapDrives(QStringLiteral("G:|removable|NEWSTICK|") + Disk(QStringLiteral("stick")));
        QCOMPARE(frame_->Offers()->OfferCount(), 1);
        QTest::qWait(500);
        QVERIFY(OpenNotifications().empty());
        QVERIFY(prompter_.shown.empty());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // A long scan or comparison that ends while the user is elsewhere is told
    // of; one that ends in front of the user, or a short one, is not.
    void longWorkEndingInTheBackgroundIsNotified() {
        OpenFrame();
        const QString disk = Path(QStringLiteral("big"));
        for (int file = 0; file < 10000; ++file)
            WriteFile(disk + QStringLiteral("/f%1/file%2.txt").arg(file / 100).arg(file), "x");
        MapDrives(QStringLiteral("E:|removable|BIG|") + disk);
        frame_->Handlers()->SetProgressDelay(0);
        DialogScript script;
        script.Then([](QDialog* dialog) {
            QVERIFY(qobject_cast<DriveSelection*>(dialog));
            dialog->accept();
        });
        script.Then([](QDialog* dialog) {
            QVERIFY(qobject_cast<WorkDialog*>(dialog));
            // The progress window takes the focus when it comes; then the user goes.
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            UserGoesElsewhere();
        });
        script.Start();
        frame_->Handlers()->CatalogNewDiskOn("E:  BIG");
        QVERIFY(script.Done());
        QTRY_COMPARE_WITH_TIMEOUT(Summaries(), QStringList({"Catalog New Disk"}), kServiceWaitMs);
        QCOMPARE(server_.Calls(QStringLiteral("Notify")).front().value(4).toString(),
                 QStringLiteral("The scan of drive E: has ended."));

        frame_->Handlers()->CompareDiskOn("E:  BIG");
        auto* compare = OpenWindow<ui::DriveCompare>();
        QVERIFY(compare);
        compare->SetProgressDelay(0);
        compare->activateWindow();
        compare->OnCompareNow();
        QTest::qWait(300);
        QCOMPARE(Summaries().size(), 1);

        DialogScript elsewhere;
        elsewhere.Then([](QDialog* dialog) {
            QVERIFY(qobject_cast<WorkDialog*>(dialog));
            // The progress window takes the focus when it comes; then the user goes.
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            UserGoesElsewhere();
        });
        elsewhere.Start();
        compare->OnCompareNow();
        QVERIFY(elsewhere.Done());
        QTRY_COMPARE_WITH_TIMEOUT(Summaries().size(), 2, kServiceWaitMs);
        QCOMPARE(Summaries().last(), QStringLiteral("Compare Disk vs. Catalog"));
        QCOMPARE(server_.Calls(QStringLiteral("Notify")).last().value(4).toString(),
                 QStringLiteral("The comparison of drive E: has ended."));
        QCOMPARE(qdbus_cast<QStringList>(server_.Calls(QStringLiteral("Notify")).last().value(5)),
                 QStringList({"default", "Show"}));
        // Picking it brings the compare window back.
        QTRY_COMPARE_WITH_TIMEOUT(OpenNotifications().size(), std::size_t{2}, kServiceWaitMs);
        server_.Invoke(OpenNotifications().back(), QStringLiteral("default"));
        QTRY_VERIFY_WITH_TIMEOUT(compare->isActiveWindow(), kServiceWaitMs);

        // Short work shows no progress window and tells nothing.
        UserGoesElsewhere();
        MapDrives(QStringLiteral("E:|removable|SMALL|") + Disk(QStringLiteral("small")));
        frame_->Handlers()->SetProgressDelay(60000);
        DialogScript small;
        small.Then([](QDialog* dialog) { dialog->accept(); });
        small.Start();
        server_.ClearCalls();
        frame_->Handlers()->CatalogNewDiskOn("E:  SMALL");
        QTest::qWait(300);
        QVERIFY(!Summaries().contains(QStringLiteral("Catalog New Disk")));
    }

    // --- UDisks2 ---

    void theWindowLearnsOfMountsAndUnmountJobsFromUDisks() {
        UDisksService udisks(Path(QString()));
        if (!udisks.Runs()) QSKIP("the stand-in UDisks2 does not start");
        OpenFrame();
        // No recheck by hand: the signal alone brings the offer.
        qputenv(
            "KESTAVO_DRIVES",
            (QStringLiteral("G:|removable|NEWSTICK|") + Disk(QStringLiteral("stick"))).toUtf8());
        udisks.Mounted(QStringLiteral("/org/freedesktop/UDisks2/block_devices/kvtest1"));
        QTRY_COMPARE_WITH_TIMEOUT(frame_->Offers()->OfferCount(), 1, 5000);
        QVERIFY(frame_->Offers()->OfferRow(0)->findChild<QPushButton*>(QStringLiteral("catalog")));

        // An unmount job naming the device of a disk being scanned stops the
        // scan, while the disk is still mounted.
        LoopDisk stick(Path(QStringLiteral("loop")), QStringLiteral("KVSCAN"), 20000);
        if (!stick.Mounted()) QSKIP(qPrintable(stick.WhyNot()));
        qunsetenv("KESTAVO_DRIVES");
        frame_->Watch()->Recheck();
        const media::Drive* drive = nullptr;
        for (const media::Drive& mapped : frame_->Watch()->Drives().Drives())
            if (mapped.directory == stick.MountPoint().toStdString()) drive = &mapped;
        QVERIFY(drive);
        QVERIFY(!drive->device.empty());
        const QString device = QString::fromStdString(drive->device);
        const std::string entry = drive->Name() + "  KVSCAN";
        const QString message = QStringLiteral("The disk in drive ") +
                                QString::fromStdString(drive->Name()) +
                                QStringLiteral(
                                    " is being unmounted.\nThe scan was stopped and no "
                                    "catalog was changed.");
        frame_->Handlers()->SetProgressDelay(0);
        DialogScript script;
        script.Then([](QDialog* dialog) { dialog->accept(); });
        script.Then([&](QDialog* dialog) {
            QVERIFY(qobject_cast<WorkDialog*>(dialog));
            udisks.UnmountStarts(QStringLiteral("/org/freedesktop/UDisks2/block_devices/") +
                                 QFileInfo(device).fileName());
        });
        script.Start();
        frame_->Handlers()->CatalogNewDiskOn(entry);
        QVERIFY(script.Done());
        QCOMPARE(prompter_.Texts(), QStringList({message}));
        QVERIFY(!QFile::exists(Path(QStringLiteral("catalogs/KVSCAN.kvx"))));
        QVERIFY(stick.Mounted());
    }

    // --- Mount to offer ---

    // How long a real mount takes to be offered, through the mount table
    // and through UDisks2's signal; shown, not judged.
    void theTimeFromAMountToItsOfferIsShown() {
        LoopDisk disk(Path(QStringLiteral("loop")), QStringLiteral("KVTIME"), 10);
        if (!disk.Mounted()) QSKIP(qPrintable(disk.WhyNot()));
        disk.Unmount();
        qunsetenv("KESTAVO_DRIVES");
        // QVERIFY leaves the lambda on a failure: the times go to `times`.
        const auto measure = [&](const std::function<void()>& afterMount,
                                 std::vector<double>& times) {
            for (int round = 0; round < 7; ++round) {
                QVERIFY(disk.Mount());
                QElapsedTimer clock;
                clock.start();
                afterMount();
                QTRY_VERIFY_WITH_TIMEOUT(frame_->Offers()->OfferCount() == 1, 5000);
                times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
                disk.Unmount();
                frame_->Watch()->Recheck();
                QTRY_COMPARE(frame_->Offers()->OfferCount(), 0);
            }
        };
        std::vector<double> table;
        {
            // No system bus: the mount table is watched.
            const QByteArray old = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
            qputenv("DBUS_SYSTEM_BUS_ADDRESS",
                    "unix:path=" + Path(QStringLiteral("none")).toUtf8());
            OpenFrame();
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", old);
            measure([] {}, table);
            frame_->close();
            frame_.reset();
        }
        UDisksService udisks(Path(QString()));
        if (!udisks.Runs()) QSKIP("the stand-in UDisks2 does not start");
        OpenFrame();
        std::vector<double> signal;
        measure(
            [&] {
                udisks.Mounted(QStringLiteral("/org/freedesktop/UDisks2/block_devices/kvtest1"));
            },
            signal);
        qInfo("mount to offer, median of 7: mount table %.1f ms, UDisks2 signal %.1f ms",
              Median(table), Median(signal));
    }
};

int main(int argc, char** argv) {
    // The session bus of these tests, with the stand-in notification server.
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    NotificationServer server(home.path());
    if (!server.Address().isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", server.Address().toUtf8());
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    DesktopBusTest test(server);
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_bus_test.moc"
