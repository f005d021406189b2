// The main window's form, start state and table slots, the settings dialog
// with its preferences file, and the Italian translation. No daemon: the
// window's broker port has nobody behind it.
#include "common/datafolder.h"
#include "frontend/base/preferences.h"
#include "frontend/core/frontendstatus.h"
#include "frontend/core/systemmgr.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/settingsdialog.h"
#include "frontend/ui/statusmessagebar.h"
#include "frontend/ui/widgetdialogs.h"
#include "tests/frontend/fakedialogs.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QTranslator>
#include <QtTest>

class TstMainWindowForm : public QObject
{
    Q_OBJECT

private:
    static QString prefsPath() { return velmo::dataFolderPath() + "/VelmoFrontEnd.ini"; }
    static void writePrefs(const QMap<QString, QVariant> &values)
    {
        QFile::remove(prefsPath());
        velmo::ensureDataFolder();
        QSettings prefs(prefsPath(), QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            prefs.setValue(it.key(), it.value());
    }
    std::unique_ptr<MainWindow> makeWindow()
    {
        return std::make_unique<MainWindow>(nullptr, m_noBrokerPort);
    }
    static QStringList actionNames(const QList<QAction *> &actions)
    {
        QStringList out;
        for (const QAction *a : actions)
            out << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
        return out;
    }

    int m_noBrokerPort = 0;

private slots:
    void initTestCase() { m_noBrokerPort = TestBroker::freePort(); }
    void init() { QFile::remove(prefsPath()); }

    void formAndStartState()
    {
        FakeDialogs dialogs;
        auto w = makeWindow();
        const MainWindowForm &f = w->form();
        QCOMPARE(w->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Calvestrid ORKEL"));
        QCOMPARE(w->size(), QSize(720, 671));

        // Every named widget is reachable by its object name.
        for (const char *name : {"centralWidget",       "tabWidget",         "tab",
                                 "stackedWidgetLog",    "pageSelectLogFile", "LogFileGroup",
                                 "lineEditOpenLogFile", "btnOpenLogFile",    "pagePlot",
                                 "plotGraphCommands",   "plotGraphAllarms",  "page_Short_DataLog",
                                 "Board_Info_Table",    "Last_Alarms_Table", "Board_Settings_Table",
                                 "Alarms_Table",        "flashing",          "HexFileGroup",
                                 "lineEditOpenFile",    "btnOpenFile",       "groupBoxHexInfo",
                                 "labelHexInfo",        "labelHexVers",      "btnUpdate",
                                 "checkBoxEraseAll",    "ProgressBarGroup",  "progressBarUpdate",
                                 "btnExitBoot",         "labelStatusBar",    "menuBar",
                                 "mainToolBar",         "statusBar"})
            QVERIFY2(w->findChild<QObject *>(QString::fromLatin1(name)), name);

        QCOMPARE(f.tabWidget->currentIndex(), 0);
        QCOMPARE(f.tabWidget->tabText(0), QStringLiteral("Data-Logging"));
        QCOMPARE(f.tabWidget->tabText(1), QStringLiteral("Flashing"));
        QCOMPARE(f.stackedWidgetLog->currentWidget(), f.pageSelectLogFile);
        QCOMPARE(f.stackedWidgetLog->indexOf(f.pagePlot), 1);
        QCOMPARE(f.stackedWidgetLog->indexOf(f.page_Short_DataLog), 2);

        QVERIFY(f.actionConnect->isEnabled());
        QVERIFY(f.actionQuit->isEnabled());
        QVERIFY(f.actionConfigure->isEnabled());
        for (QAction *a :
             {f.actionDisconnect, f.actionUpdate, f.actionOpenFile, f.actionExport_to_Excel})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(f.lineEditOpenFile->isReadOnly());
        QVERIFY(!f.btnOpenFile->isEnabled());
        QVERIFY(f.btnExitBoot->isHidden());
        QVERIFY(!f.btnExitBoot->isEnabled());
        QVERIFY(f.checkBoxEraseAll->isHidden());
        QVERIFY(f.checkBoxEraseAll->isChecked());
        QVERIFY(!f.btnUpdate->isEnabled());
        QVERIFY(!f.labelHexInfo->isEnabled());
        QVERIFY(f.labelHexVers->text().isEmpty());
        QCOMPARE(f.labelStatusBar->parentWidget(), f.statusBar);
        QVERIFY(f.labelStatusBar->text().isEmpty());

        QCOMPARE(f.labelHexInfo->text(), QStringLiteral("Hex File for Board:"));
        QCOMPARE(f.btnUpdate->text(), QStringLiteral("Update"));
        QCOMPARE(f.HexFileGroup->title(), QStringLiteral("Hex Image File"));
        QCOMPARE(f.Alarms_Table->horizontalHeaderItem(1)->text(), QStringLiteral("Occurrency"));
        QCOMPARE(f.Last_Alarms_Table->horizontalHeaderItem(1)->text(), QStringLiteral("Run N°"));
    }

    void menusActionsAndIcons()
    {
        FakeDialogs dialogs;
        auto w = makeWindow();
        const MainWindowForm &f = w->form();
        QStringList menus;
        for (QAction *a : f.menuBar->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{"Calls", "Flashing", "Data-Logging", "Setup", "Help"}));
        QCOMPARE(actionNames(f.menuCalls->actions()),
                 (QStringList{"actionConnect", "actionDisconnect", "|", "actionQuit"}));
        QCOMPARE(actionNames(f.menuFlashing->actions()),
                 (QStringList{"actionOpenFile", "actionUpdate", "|", "actionAddToLibrary",
                              "actionServiceRecord"}));
        QCOMPARE(f.actionAddToLibrary->text(), QStringLiteral("Add to library…"));
        QCOMPARE(f.actionServiceRecord->text(), QStringLiteral("Service record…"));
        QVERIFY(f.actionServiceRecord->isEnabled());
        QCOMPARE(actionNames(f.menuHelp->actions()),
                 (QStringList{"actionHelpContents", "actionFull_log_example",
                              "actionShort_log_example", "|", "actionCheck_for_update",
                              "actionDisable_Update", "|", "actionAbout", "actionAboutQt"}));
        QCOMPARE(actionNames(f.mainToolBar->actions()),
                 (QStringList{"actionConnect", "actionDisconnect", "actionConfigure"}));

        QCOMPARE(f.actionConnect->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(f.actionDisconnect->shortcut(), QKeySequence("Ctrl+D"));
        QCOMPARE(f.actionQuit->shortcut(), QKeySequence("Ctrl+Q"));
        QCOMPARE(f.actionConfigure->shortcut(), QKeySequence("Alt+C"));
        QCOMPARE(f.actionAbout->shortcut(), QKeySequence("Alt+A"));
        QCOMPARE(f.actionHelpContents->shortcut(), QKeySequence("F1"));
        QCOMPARE(f.actionConnect->text(), QStringLiteral("C&onnect"));
        QCOMPARE(f.actionConnect->toolTip(), QStringLiteral("Connect to serial port"));

        for (const char *path :
             {":/images/folder.png", ":/images/connect.png", ":/images/disconnect.png",
              ":/images/application-exit.png", ":/images/settings.png",
              ":/images/system-software-update.png", ":/images/excel.png",
              ":/images/arrow-left-icon.png", ":/images/arrow-right-icon.png"})
            QVERIFY2(!QIcon(QString::fromLatin1(path)).pixmap(16, 16).isNull(), path);
        for (QAction *a : {f.actionConnect, f.actionDisconnect, f.actionQuit, f.actionConfigure,
                           f.actionOpenFile, f.actionUpdate, f.actionExport_to_Excel})
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
    }

    // A right-click on the window offers no tool-bar menu.
    void contextMenuIsEmpty()
    {
        FakeDialogs dialogs;
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.get(), &event);
        QVERIFY(event.isAccepted());
        if (auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            QVERIFY(popup->actions().isEmpty());
            popup->close();
        }
    }

    // A failed update's reason, longer than the bar, at the window's size
    // and narrower: painted up to the connection label, cut with "…" and
    // not mid-glyph; whole in the tooltip and in the copy.
    void longStatusMessageIsElided()
    {
        FakeDialogs dialogs;
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const MainWindowForm &f = w->form();
        auto *bar = qobject_cast<StatusMessageBar *>(f.statusBar);
        QVERIFY(bar);
        f.labelStatusBar->setText(QStringLiteral("Disconnected"));
        const QString reason = QStringLiteral(
            "Failed Update. The port "
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 "
            "was lost. Writing block 301 of 992 at 0x005300: the serial port was lost.");
        bar->showMessage(reason);
        for (const int width : {w->width(), 420}) {
            w->resize(width, w->height());
            QCoreApplication::processEvents();
            const QRect area = bar->messageArea();
            const QString shown = bar->shownMessage();
            QVERIFY2(area.right() < f.labelStatusBar->x(), qPrintable(QString::number(width)));
            QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
            QVERIFY(reason.startsWith(shown.chopped(1)));
            QVERIFY(bar->fontMetrics().horizontalAdvance(shown) <= area.width());
        }
        QCOMPARE(bar->currentMessage(), reason);

        const QPoint over = bar->messageArea().center();
        QHelpEvent help(QEvent::ToolTip, over, bar->mapToGlobal(over));
        QApplication::sendEvent(bar, &help);
        QTextDocument tip;
        tip.setHtml(QToolTip::text());
        QCOMPARE(tip.toPlainText().remove(QLatin1Char('\n')), reason);

        QContextMenuEvent menu(QContextMenuEvent::Mouse, over, bar->mapToGlobal(over));
        QApplication::sendEvent(bar, &menu);
        auto *copy = bar->findChild<QAction *>(QStringLiteral("copyStatusMessage"));
        QVERIFY(copy);
        copy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), reason);

        bar->showMessage(QStringLiteral("File loaded: Ok."));
        QCOMPARE(bar->shownMessage(), QStringLiteral("File loaded: Ok."));
    }

    void tableSlotsFillRows()
    {
        FakeDialogs dialogs;
        auto w = makeWindow();
        QTableWidget *settings = w->form().Board_Settings_Table;
        w->Board_Settings_Table_Set_Row_Count(3);
        w->Board_Settings_Table_Add_Item(0, "FA", "12", "V", "Motor voltage");
        w->Board_Settings_Table_Add_Item(1, "FB", "25.1", "s", "Opening time");
        w->Board_Settings_Table_Add_Item(2, "FC", "ON", "s", "Photocell");
        QCOMPARE(settings->item(0, 1)->text(), QStringLiteral("12 V"));
        QCOMPARE(settings->item(1, 1)->text(), QStringLiteral("25.1 s"));
        QCOMPARE(settings->item(2, 1)->text(), QStringLiteral("ON"));
        QCOMPARE(settings->item(2, 2)->text(), QStringLiteral("Photocell"));

        QTableWidget *info = w->form().Board_Info_Table;
        w->Board_Info_Table_Set_Row_Count(1);
        w->Board_Info_Table_Add_Item(0, "FW", "1.0", "old");
        w->Board_Info_Table_Add_Item(0, "FW", "2.3", "Firmware");
        QCOMPARE(info->rowCount(), 1);
        QCOMPARE(info->item(0, 1)->text(), QStringLiteral("2.3"));
        const Qt::ItemFlags flags = info->item(0, 0)->flags();
        QVERIFY(!(flags & Qt::ItemIsSelectable));
        QVERIFY(!(flags & Qt::ItemIsEditable));

        w->Alarms_Table_Set_Row_Count(1);
        w->Alarms_Table_Add_Item(0, "E05", "3", "Encoder fault");
        QCOMPARE(w->form().Alarms_Table->item(0, 1)->text(), QStringLiteral("3"));
        w->Last_Alarms_Table_Set_Row_Count(1);
        w->Last_Alarms_Table_Add_Item(0, "E05", "1520");
        QCOMPARE(w->form().Last_Alarms_Table->item(0, 1)->text(), QStringLiteral("1520"));
        QVERIFY(!(w->form().Last_Alarms_Table->item(0, 0)->flags() & Qt::ItemIsEditable));
    }

    void fileDialogsStartInTheLastFolder()
    {
        // Each dialog is answered as it comes up: its folder noted, then
        // `answer` chosen (or cancelled when empty).
        QString shownFolder;
        QString shownName;
        QString answer;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QFileDialog *>(widget);
                if (!dialog || !dialog->isVisible())
                    continue;
                poll.stop();
                shownFolder = dialog->directory().absolutePath();
                const QStringList selected = dialog->selectedFiles();
                shownName = selected.isEmpty() ? QString() : QFileInfo(selected.first()).fileName();
                if (answer.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->setDirectory(QFileInfo(answer).absolutePath());
                    // Typed, as the technician would.
                    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                    QVERIFY(name);
                    name->setText(QFileInfo(answer).fileName());
                    QMetaObject::invokeMethod(dialog, "accept");
                }
                return;
            }
        });
        const auto answerNext = [&] { poll.start(); };
        WidgetDialogs dialogs;
        QTemporaryDir logs;
        QTemporaryDir saves;
        const QString log = logs.filePath(QStringLiteral("run.log"));
        QFile touch(log);
        QVERIFY(touch.open(QIODevice::WriteOnly));
        touch.close();

        // Not the program's folder: home, until a file has been chosen.
        answerNext();
        answer = log;
        QCOMPARE(dialogs.chooseOpenFile(QStringLiteral("Log files (*.log *.txt)")), log);
        QCOMPARE(shownFolder, QDir::homePath());
        answerNext();
        answer.clear();
        QVERIFY(dialogs.chooseOpenFile(QStringLiteral("Log files (*.log *.txt)")).isEmpty());
        QCOMPARE(shownFolder, logs.path());
        QCOMPARE(QSettings(prefsPath(), QSettings::IniFormat)
                     .value(frontend::StoredPreferences::kOpenFolderKey)
                     .toString(),
                 logs.path());

        // Saving proposes its own place and name the first time, then the
        // folder last saved into, with the name proposed.
        const QString exports = velmo::dataFolderPath() + QStringLiteral("/Exports");
        QVERIFY(QDir().mkpath(exports));
        answerNext();
        answer = saves.filePath(QStringLiteral("mine.xlsx"));
        QCOMPARE(dialogs.chooseSaveFile(QStringLiteral("Excel workbook (*.xlsx)"),
                                        exports + QStringLiteral("/full_log.xlsx")),
                 answer);
        QCOMPARE(shownFolder, exports);
        QCOMPARE(shownName, QStringLiteral("full_log.xlsx"));
        answerNext();
        answer.clear();
        dialogs.chooseSaveFile(QStringLiteral("Excel workbook (*.xlsx)"),
                               exports + QStringLiteral("/next.xlsx"));
        QCOMPARE(shownFolder, saves.path());
        QCOMPARE(shownName, QStringLiteral("next.xlsx"));

        // A remembered folder that is gone: home again.
        QVERIFY(QDir(logs.path()).removeRecursively());
        QCOMPARE(frontend::dialogStartFolder(frontend::DialogFolder::Open), QDir::homePath());
    }

    void aboutAndClose()
    {
        FakeDialogs dialogs;
        auto w = makeWindow();
        w->systemMgr()->statusObject()->serialVersion = "0.27.20181009";
        QVERIFY(QMetaObject::invokeMethod(w.get(), "about"));
        QCOMPARE(dialogs.dialogTitles, QStringList{"About ORKEL"});
        QCOMPARE(dialogs.dialogTexts.at(0),
                 QStringLiteral("<br></br><b>ORKEL ver. 2.8</b><br></br><br></br>FrontEnd ver. "
                                "2.08.20200722<br></br>Serial ver. 0.27.20181009<br></br> "));
        w->show();
        w->close();
        QCOMPARE(w->form().labelStatusBar->text(), QStringLiteral("Disconnected"));
        QVERIFY(!w->form().actionDisconnect->isEnabled());
    }

    void firstStartWritesDefaults()
    {
        FakeDialogs dialogs;
        QVERIFY(!QFile::exists(prefsPath()));
        auto w = makeWindow();
        QVERIFY(QFile::exists(prefsPath()));
        QSettings prefs(prefsPath(), QSettings::IniFormat);
        QCOMPARE(prefs.value("serial/com").toString(), QString());
        QCOMPARE(prefs.value("serial/ssid").toInt(), 9600);
        QCOMPARE(prefs.value("serial/databits").toInt(), 8);
        QCOMPARE(prefs.value("serial/parity").toInt(), 0);
        QCOMPARE(prefs.value("serial/stopbits").toInt(), 1);
        QCOMPARE(prefs.value("serial/flowcontol").toInt(), 0);
        QCOMPARE(prefs.value("mqtt/host").toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(prefs.value("mqtt/port").toInt(), 1883);
        QCOMPARE(prefs.value("update/verify").toBool(), true);
        QCOMPARE(prefs.value("mqtt/private").toBool(), true);
        // Off unless the user wants it.
        QCOMPARE(prefs.value("update/only-signed").toBool(), false);
        QCOMPARE(prefs.allKeys().size(), 11);
        const frontend::StatusObject *so = w->systemMgr()->statusObject();
        QCOMPARE(so->brokerHost, QStringLiteral("127.0.0.1"));
        QCOMPARE(so->brokerPort, 1883);
    }

    void storedValuesAreReadBack()
    {
        FakeDialogs dialogs;
        writePrefs({{"serial/com", "/dev/ttyUSB0"},
                    {"serial/ssid", 115200},
                    {"serial/databits", 9},
                    {"serial/parity", 2},
                    {"serial/stopbits", 2},
                    {"serial/flowcontol", 1},
                    {"mqtt/host", " broker.local "},
                    {"mqtt/port", 1884}});
        auto w = makeWindow();
        const SettingsDialog::SerialSettings s = w->settingsDialog()->currentSettings();
        QCOMPARE(s.portName, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(s.baudRate, 9600); // the stored rate is not read back
        QCOMPARE(s.dataBits, 0);    // 9 matches no item
        QCOMPARE(s.parity, 2);
        QCOMPARE(s.parityText, QStringLiteral("Even"));
        QCOMPARE(s.stopBits, 2);
        QCOMPARE(s.flowControl, 1);
        QCOMPARE(w->systemMgr()->currentHost(), QStringLiteral("broker.local"));
        QSettings prefs(prefsPath(), QSettings::IniFormat);
        QCOMPARE(prefs.value("serial/ssid").toInt(), 9600);
        QCOMPARE(prefs.value("serial/databits").toInt(), 0);
        QCOMPARE(prefs.value("mqtt/port").toInt(), 1884);
    }

    void portListAndApply()
    {
        FakeDialogs dialogs;
        writePrefs({{"serial/com", "/dev/pts/5"}});
        auto w = makeWindow();
        SettingsDialog *dialog = w->settingsDialog();
        auto *ports = dialog->findChild<QComboBox *>("serialPortInfoListBox");
        QVERIFY(ports);
        QVERIFY(dialog->findChild<QGroupBox *>("parametersBox")->isHidden());
        // The broker choice is shown: what a TCP broker exposes is the user's call.
        QVERIFY(!dialog->findChild<QGroupBox *>("groupBox")->isHidden());

        w->systemMgr()->statusObject()->comPorts = {"/dev/ttyS0", "/dev/pts/5", "/dev/pts/6"};
        dialog->refreshPortList();
        QCOMPARE(ports->count(), 3);
        QCOMPARE(ports->currentIndex(), 1);

        // A choice not yet applied is undone by the next reply.
        ports->setCurrentIndex(2);
        dialog->refreshPortList();
        QCOMPARE(ports->currentText(), QStringLiteral("/dev/pts/5"));

        ports->setCurrentIndex(2);
        QSignalSpy done(dialog, qOverload<>(&SettingsDialog::done));
        dialog->show();
        dialog->findChild<QPushButton *>("applyButton")->click();
        QCOMPARE(done.count(), 1);
        QVERIFY(dialog->isHidden());
        QCOMPARE(dialog->currentSettings().portName, QStringLiteral("/dev/pts/6"));
        QSettings prefs(prefsPath(), QSettings::IniFormat);
        QCOMPARE(prefs.value("serial/com").toString(), QStringLiteral("/dev/pts/6"));

        // A stored port the daemon does not report leaves no current item.
        w->systemMgr()->statusObject()->comPorts = {"/dev/ttyS0"};
        dialog->refreshPortList();
        QCOMPARE(ports->currentIndex(), -1);
    }

    // A device path the daemon does not list (a by-id name, a pseudo-
    // terminal) can be typed; it is stored and used as the port name.
    void typedPortIsKept()
    {
        FakeDialogs dialogs;
        writePrefs({{"serial/com", "/dev/ttyS0"}});
        auto w = makeWindow();
        SettingsDialog *dialog = w->settingsDialog();
        auto *ports = dialog->findChild<QComboBox *>("serialPortInfoListBox");
        frontend::StatusObject *so = w->systemMgr()->statusObject();
        so->comPorts = {"/dev/ttyS0", "/dev/ttyUSB0"};
        dialog->refreshPortList();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_A10K3-if00-port0");
        ports->lineEdit()->selectAll();
        QTest::keyClicks(ports->lineEdit(), byId);
        // A reply of the daemon while typing leaves the text alone.
        dialog->refreshPortList();
        QCOMPARE(ports->currentText(), byId);
        QCOMPARE(ports->count(), 2); // nothing added to the list

        QSignalSpy done(dialog, qOverload<>(&SettingsDialog::done));
        dialog->findChild<QPushButton *>("applyButton")->click();
        QCOMPARE(done.count(), 1);
        QCOMPARE(dialog->currentSettings().portName, byId);
        QCOMPARE(so->portSettings.portName, byId);
        QSettings prefs(prefsPath(), QSettings::IniFormat);
        QCOMPARE(prefs.value("serial/com").toString(), byId);

        // Shown again later although the daemon does not list it.
        dialog->refreshPortList();
        QCOMPARE(ports->currentIndex(), -1);
        QCOMPARE(ports->currentText(), byId);

        // And read back at the next start.
        w.reset();
        auto again = makeWindow();
        QCOMPARE(again->settingsDialog()->currentSettings().portName, byId);
    }

    void connectMqttStoresBroker()
    {
        FakeDialogs dialogs;
        auto w = makeWindow();
        SettingsDialog *dialog = w->settingsDialog();
        auto *connectButton = dialog->findChild<QPushButton *>("connectButton");
        QVERIFY(!connectButton->isEnabled());
        dialog->findChild<QLineEdit *>("mqttHostEdit")->setText("  10.0.0.7 ");
        QVERIFY(connectButton->isEnabled());
        dialog->findChild<QLineEdit *>("mqttPortEdit")->setText("port");
        QSignalSpy reconnect(dialog, &SettingsDialog::reconnect);
        connectButton->click();
        QCOMPARE(reconnect.count(), 1);
        QVERIFY(!connectButton->isEnabled());
        QCOMPARE(w->systemMgr()->statusObject()->brokerPort, 0);
        QCOMPARE(w->systemMgr()->currentHost(), QStringLiteral("10.0.0.7"));
        QVERIFY(w->serialTimer().isActive());
        QSettings prefs(prefsPath(), QSettings::IniFormat);
        QCOMPARE(prefs.value("mqtt/host").toString(), QStringLiteral("  10.0.0.7 "));
    }

    // Started through the launcher, the window uses the private broker it
    // names and offers it; choosing TCP moves the window, and the choice
    // holds at the next start.
    void privateOrTcpBroker()
    {
        FakeDialogs dialogs;
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("mqtt.sock"));
        qputenv("VELMO_BROKER_SOCKET", socket.toLocal8Bit());
        const auto unset = qScopeGuard([] { qunsetenv("VELMO_BROKER_SOCKET"); });
        auto w = makeWindow();
        SettingsDialog *dialog = w->settingsDialog();
        auto *privateButton = dialog->findChild<QRadioButton *>("privateBrokerButton");
        auto *tcpButton = dialog->findChild<QRadioButton *>("tcpBrokerButton");
        auto *host = dialog->findChild<QLineEdit *>("mqttHostEdit");
        QVERIFY(privateButton->isEnabled() && privateButton->isChecked());
        QVERIFY(!host->isEnabled());
        QCOMPARE(w->systemMgr()->currentHost(), socket);

        tcpButton->setChecked(true);
        QVERIFY(host->isEnabled());
        host->setText(QStringLiteral("10.0.0.7"));
        dialog->findChild<QPushButton *>("connectButton")->click();
        QCOMPARE(w->systemMgr()->currentHost(), QStringLiteral("10.0.0.7"));
        QCOMPARE(QSettings(prefsPath(), QSettings::IniFormat).value("mqtt/private").toBool(),
                 false);

        w.reset();
        auto again = makeWindow();
        QVERIFY(again->systemMgr()->socketInUse().isEmpty());
        QVERIFY(again->settingsDialog()->findChild<QRadioButton *>("tcpBrokerButton")->isChecked());
    }

    void italianTexts()
    {
        FakeDialogs dialogs;
        QTranslator translator;
        const QString qm =
            qEnvironmentVariable("VELMO_STAGE_DIR") + "/translations/velmofrontend_it.qm";
        QVERIFY2(translator.load(qm), qPrintable(qm));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        auto w = makeWindow();
        QCOMPARE(w->form().actionConnect->text(), QStringLiteral("C&onnetti"));
        QCOMPARE(w->form().btnUpdate->text(), QStringLiteral("Aggiorna"));
        QCOMPARE(w->form().tabWidget->tabText(1), QStringLiteral("Programmazione"));
        QCOMPARE(w->settingsDialog()->windowTitle(), QStringLiteral("Impostazioni"));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TstMainWindowForm)
#include "tst_mainwindow_form.moc"
