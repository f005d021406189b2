#include "frontend/cli/historycommand.h"

#include "frontend/cli/consoleoutput.h"
#include "frontend/cli/exitstatus.h"
#include "records/recordformat.h"
#include "records/servicerecord.h"

int HistoryCommand::run(const FlashOptions &options, ConsoleOutput &output,
                        const QString &databasePath)
{
    records::ServiceRecord store;
    const bool opened = databasePath.isEmpty() ? store.openDefault() : store.open(databasePath);
    if (!store.movedAsideNotice().isEmpty())
        output.problem(store.movedAsideNotice(), {});
    if (!opened) {
        output.problem(tr("velmo-flash: the service record %1 cannot be read: %2")
                           .arg(store.path(), store.errorString()),
                       {});
        return int(ExitStatus::RecordUnreadable);
    }
    bool ok = false;
    const QList<records::UpdateRecord> found = store.query(
        records::RecordFilter::days(options.since, options.until, options.boardId), &ok);
    if (!ok) {
        output.problem(tr("velmo-flash: the service record %1 cannot be read: %2")
                           .arg(store.path(), store.errorString()),
                       {});
        return int(ExitStatus::RecordUnreadable);
    }
    if (options.csv) {
        output.raw(records::RecordFormat::toCsv(found));
    } else {
        QString table = records::RecordFormat::toText(found);
        if (!table.endsWith(QLatin1Char('\n')))
            table.append(QLatin1Char('\n'));
        output.raw(table.toUtf8());
    }
    return int(ExitStatus::Ok);
}
