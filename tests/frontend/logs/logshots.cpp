// Lays out the Data-Logging tab for the documentation screenshots:
//   logshots short|graphs|single <out.png>
// Run from the stage bin directory under an X server; the picture is taken
// of the whole screen with ImageMagick's import.
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/graphdialog.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/widgetdialogs.h"

#include <QAction>
#include <QApplication>
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
};

void shoot(const QString &out)
{
    QProcess::execute(QStringLiteral("import"), {"-window", "root", out});
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

    QTimer::singleShot(300, &window, [&] {
        if (scene == QLatin1String("short")) {
            window.form().actionShort_log_example->trigger();
        } else {
            window.form().actionFull_log_example->trigger();
            window.enableTimeCommands();
        }
        // Xvfb has no window manager to honour showMaximized().
        window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        QTimer::singleShot(kSettleMs, &window, [&] {
            if (scene != QLatin1String("single")) {
                shoot(out);
                app.quit();
                return;
            }
            // Double-click the first alarm in view: its run has commands,
            // events and an alarm to show.
            PlotGraph *alarms = window.form().plotGraphAllarms;
            QCPGraph *graph = alarms->graph(0);
            for (int i = 0; i < alarms->graphCount(); ++i) {
                if (!alarms->graph(i)->data()->isEmpty() &&
                    alarms->graph(i)->data()->constBegin()->key < graph->data()->constBegin()->key)
                    graph = alarms->graph(i);
            }
            const auto point = graph->data()->constBegin();
            const QPointF at(alarms->xAxis->coordToPixel(point->key),
                             alarms->yAxis->coordToPixel(point->value));
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
