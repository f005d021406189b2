// Lays out the Data-Logging tab for the documentation screenshots:
//   logshots short|graphs|single|tooltip|filter|counts|goto|opening|pdf <out.png> [log]
// Run from the stage bin directory under an X server; the picture is taken
// of the whole screen with ImageMagick's import. A log given after the
// picture is opened instead of the example ("opening" takes the picture
// while it is read; "pdf" renders the first page of the graphs saved as a
// PDF, with poppler's pdftoppm).
#include "frontend/logs/alarmcountsdialog.h"
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/gotorundialog.h"
#include "frontend/logs/graphdialog.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/rowfilterdialog.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/openprogress.h"
#include "frontend/ui/plotpanel.h"
#include "frontend/ui/widgetdialogs.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int kSettleMs = 1200;

// Answers the date dialog with a fixed end date; everything else is shown.
class ShotDialogs : public WidgetDialogs
{
public:
    int execDialog(QDialog &dialog) override
    {
        if (auto *date = qobject_cast<DateTimeDialog *>(&dialog)) {
            date->setDateTime(QDateTime(QDate(2026, 11, 30), QTime(18, 30)));
            return QDialog::Accepted;
        }
        if (onModal)
            onModal(dialog);
        return dialog.exec();
    }
    std::function<void(QDialog &)> onModal;
    QString openFile;
    QString saveFile;
    QString chooseOpenFile(const QString &filter) override
    {
        return openFile.isEmpty() ? WidgetDialogs::chooseOpenFile(filter) : openFile;
    }
    QString chooseSaveFile(const QString &filter, const QString &suggested) override
    {
        return saveFile.isEmpty() ? WidgetDialogs::chooseSaveFile(filter, suggested) : saveFile;
    }
};

void shoot(const QString &out)
{
    QProcess::execute(QStringLiteral("import"), {"-window", "root", out});
}

// The earliest point of the alarms plot.
QPointF firstAlarmAt(const PlotGraph &alarms)
{
    const QCPGraph *graph = alarms.graph(0);
    for (int i = 0; i < alarms.graphCount(); ++i) {
        if (!alarms.graph(i)->data()->isEmpty() &&
            alarms.graph(i)->data()->constBegin()->key < graph->data()->constBegin()->key)
            graph = alarms.graph(i);
    }
    const auto point = graph->data()->constBegin();
    return QPointF(alarms.xAxis->coordToPixel(point->key),
                   alarms.yAxis->coordToPixel(point->value));
}

QAction *actionNamed(const MainWindow &window, const char *name)
{
    return window.findChild<QAction *>(QLatin1String(name));
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString scene = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);

    ShotDialogs dialogs;
    UserDialogs::setInstance(&dialogs);
    MainWindow window;
    window.show();

    const QString log = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (scene == QLatin1String("opening")) {
        // The picture while a big log is read: the window keeps painting.
        window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        dialogs.openFile = log;
        QTimer::singleShot(300, &window, [&] { window.openLogFile(); });
        QTimer::singleShot(300 + 3 * kSettleMs, &window, [&] { shoot(out); });
        QObject::connect(window.openProgress(), &OpenProgress::busyChanged, &app, [&](bool busy) {
            if (!busy)
                QTimer::singleShot(0, &app, &QApplication::quit);
        });
        const int result = app.exec();
        UserDialogs::setInstance(nullptr);
        return result;
    }

    QTimer::singleShot(300, &window, [&] {
        if (scene == QLatin1String("short")) {
            window.form().actionShort_log_example->trigger();
        } else if (!log.isEmpty()) {
            dialogs.openFile = log;
            window.openLogFile();
            window.enableTimeCommands();
        } else {
            window.form().actionFull_log_example->trigger();
            window.enableTimeCommands();
        }
        // Xvfb has no window manager to honour showMaximized().
        window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        QTimer::singleShot(kSettleMs, &window, [&] {
            PlotGraph *alarms = window.form().plotGraphAllarms;
            const auto shootLater = [&] {
                QTimer::singleShot(kSettleMs, &window, [&] {
                    shoot(out);
                    app.quit();
                });
            };
            if (scene == QLatin1String("tooltip")) {
                // The pointer resting on the first alarm.
                const QPointF at = firstAlarmAt(*alarms) + QPointF(1, -1);
                QMouseEvent move(QEvent::MouseMove, at, alarms->mapToGlobal(at), Qt::NoButton,
                                 Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(alarms, &move);
                shootLater();
                return;
            }
            if (scene == QLatin1String("pdf")) {
                const QString pdf = out + QStringLiteral(".pdf");
                dialogs.saveFile = pdf;
                actionNamed(window, "actionSaveGraphs")->trigger();
                QString page = out;
                page.chop(4); // pdftoppm adds the ending
                QProcess::execute(QStringLiteral("pdftoppm"),
                                  {"-r", "110", "-png", "-singlefile", pdf, page});
                QFile::remove(pdf);
                app.quit();
                return;
            }
            if (scene == QLatin1String("counts")) {
                actionNamed(window, "actionAlarmCounts")->trigger();
                window.alarmCountsDialog()->move(window.geometry().center() -
                                                 window.alarmCountsDialog()->rect().center());
                shootLater();
                return;
            }
            if (scene == QLatin1String("filter")) {
                // Searching the alarms for the photocells.
                dialogs.onModal = [&](QDialog &dialog) {
                    auto *filter = qobject_cast<RowFilterDialog *>(&dialog);
                    if (filter)
                        filter->searchEdit()->setText(QStringLiteral("phot"));
                    QTimer::singleShot(kSettleMs, &dialog, [&] {
                        shoot(out);
                        dialog.reject();
                        app.quit();
                    });
                };
                actionNamed(window, "actionFilterAlarms")->trigger();
                return;
            }
            if (scene == QLatin1String("goto")) {
                // The board's number of a run typed, then the graphs centred on it.
                dialogs.onModal = [&](QDialog &dialog) {
                    if (auto *goTo = qobject_cast<GoToRunDialog *>(&dialog))
                        goTo->setInput(QStringLiteral("15060"));
                    QTimer::singleShot(kSettleMs, &dialog, [&] { dialog.accept(); });
                };
                actionNamed(window, "actionGoToRun")->trigger();
                shootLater();
                return;
            }
            if (scene != QLatin1String("single")) {
                shoot(out);
                app.quit();
                return;
            }
            // Double-click the first alarm in view: its run has commands,
            // events and an alarm to show.
            const QPointF at = firstAlarmAt(*alarms);
            dialogs.onModal = [&](QDialog &dialog) {
                QTimer::singleShot(kSettleMs, &dialog, [&] {
                    shoot(out);
                    dialog.reject();
                    app.quit();
                });
            };
            QMouseEvent click(QEvent::MouseButtonDblClick, at, alarms->mapToGlobal(at),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(alarms, &click);
        });
    });
    const int result = app.exec();
    UserDialogs::setInstance(nullptr);
    return result;
}
