// A second process for the store's tests: writes records while the test
// (or another copy of this program) writes too, or starts one and waits to
// be killed.
//   records_writer DB hammer COUNT TAG   COUNT begin/finish pairs, board TAG
//   records_writer DB begin-and-wait     prints "ID <n>", then sleeps
#include "records/servicerecord.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 3) {
        err << "usage: records_writer DB hammer COUNT TAG | DB begin-and-wait\n";
        return 2;
    }
    records::ServiceRecord store;
    if (!store.open(args.at(1))) {
        err << "open: " << store.errorString() << '\n';
        return 1;
    }
    const QString mode = args.at(2);
    if (mode == QLatin1String("hammer") && args.size() == 5) {
        const int count = args.at(3).toInt();
        for (int i = 0; i < count; ++i) {
            records::UpdateStart start;
            start.program = QStringLiteral("records_writer");
            start.boardId = args.at(4);
            start.port = QString::number(i);
            const qint64 id = store.beginUpdate(start);
            if (id < 0 || !store.finishUpdate(id, records::UpdateResult::Ok, QString())) {
                err << "write " << i << ": " << store.errorString() << '\n';
                return 1;
            }
        }
        return 0;
    }
    if (mode == QLatin1String("begin-and-wait")) {
        records::UpdateStart start;
        start.program = QStringLiteral("records_writer");
        start.boardId = QStringLiteral("0x1234");
        const qint64 id = store.beginUpdate(start);
        if (id < 0) {
            err << "begin: " << store.errorString() << '\n';
            return 1;
        }
        std::printf("ID %lld\n", static_cast<long long>(id));
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    }
    err << "unknown mode " << mode << '\n';
    return 2;
}
