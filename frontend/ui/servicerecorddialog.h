#pragma once

#include "records/servicerecord.h"
#include "records/updaterecord.h"

#include <QDialog>
#include <QList>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTableWidget;

// The service record as a window: every firmware update, newest first,
// filtered by board and by days, and exported to CSV. Non-modal; the main
// window creates it once and keeps it. The store is read when the window
// is shown, on Refresh and when a filter changes, and watched while the
// window is open so updates in progress end on screen.
class ServiceRecordDialog : public QDialog
{
    Q_OBJECT

public:
    enum Column
    {
        StartedColumn,
        DurationColumn,
        ResultColumn,
        VerifyColumn,
        BoardColumn,
        BoardNameColumn,
        FileColumn,
        SizeColumn,
        Md5Column,
        EraseColumn,
        RetriesColumn,
        PortColumn,
        UserColumn,
        HostColumn,
        ProgramColumn,
        ErrorColumn,
        FileNotesColumn,
        SourceColumn,
        SignatureColumn,
        ColumnCount
    };
    // How often an open window looks for new and finished updates.
    static constexpr int kWatchIntervalMs = 3000;
    static constexpr int kDefaultRangeDays = 30;

    // `databasePath` empty: the store of the per-user data folder.
    explicit ServiceRecordDialog(QWidget *parent = nullptr,
                                 const QString &databasePath = QString());
    ~ServiceRecordDialog() override;

    QTableWidget *table() const { return m_table; }
    QComboBox *boardBox() const { return m_boardBox; }
    QCheckBox *rangeBox() const { return m_rangeBox; }
    QDateEdit *fromEdit() const { return m_fromEdit; }
    QDateEdit *toEdit() const { return m_toEdit; }
    QPushButton *refreshButton() const { return m_refreshButton; }
    QPushButton *exportButton() const { return m_exportButton; }
    // The line shown instead of the table when it has no rows.
    QLabel *emptyLabel() const { return m_emptyLabel; }
    QLabel *statusLabel() const { return m_statusLabel; }
    // The records the table shows, in its order.
    const QList<records::UpdateRecord> &shownRecords() const { return m_records; }
    // The filter the controls describe now.
    records::RecordFilter currentFilter() const;

public slots:
    // Reads the store again, keeping the filters.
    void refresh();
    // Writes the shown records to a CSV file the user chooses.
    void exportCsv();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildForm();
    void retranslateUi();
    bool ensureStore();
    void fillBoards(const QStringList &ids);
    void fillTable();
    void showEmpty(const QString &text);
    void watch();

    QString m_databasePath;
    records::ServiceRecord m_store;
    QList<records::UpdateRecord> m_records;
    QTimer m_watchTimer;
    bool m_refreshing = false;

    QComboBox *m_boardBox = nullptr;
    QLabel *m_boardLabel = nullptr;
    QCheckBox *m_rangeBox = nullptr;
    QDateEdit *m_fromEdit = nullptr;
    QLabel *m_toLabel = nullptr;
    QDateEdit *m_toEdit = nullptr;
    QPushButton *m_refreshButton = nullptr;
    QStackedWidget *m_stack = nullptr;
    QTableWidget *m_table = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QLabel *m_statusLabel = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_closeButton = nullptr;
};
