#pragma once

#include "protocol/payloads.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QStandardItemModel;
class QToolButton;
class QTreeView;
class QIntValidator;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace frontend {
class StatusObject;
}

// Chooses the serial port the daemon opens and keeps the serial and broker
// settings in the preferences file. The values themselves live in the
// StatusObject; the dialog reads and writes them there.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    // The line settings the daemon gets, with the texts the boxes show.
    struct SerialSettings : protocol::SerialSettings
    {
        QString baudRateText;
        QString dataBitsText;
        QString parityText;
        QString stopBitsText;
        QString flowControlText;
    };

    static constexpr int kDefaultBaudRate = 9600;
    static constexpr int kMaxCustomBaudRate = 4000000;

    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    // home + "/AppData/Local/Calvestrid" + "/VelmoFrontEnd.ini"
    static QString preferencesPath();

    void setStatusObject(frontend::StatusObject *statusObject) { m_status = statusObject; }
    void loadInternalPrefs();
    void refreshPortList();
    void serializeInternalPrefs();
    SerialSettings currentSettings() const { return m_currentSettings; }
    // "Verify after writing", as last applied.
    bool verifyAfterWriting() const { return m_verifyAfterWriting; }
    // "Only flash signed files", as last applied.
    bool onlySignedFiles() const { return m_onlySignedFiles; }

    using QDialog::done;

signals:
    void done();
    void reconnect();
    // The user asks for a fresh list of the ports.
    void portListWanted();

public slots:
    void enableConnect(const QString &text);
    void apply();
    void connectMqtt();
    void checkCustomBaudRatePolicy(int idx);

private:
    void buildForm();
    void retranslateUi();
    void fillForm();
    void collectSettings();
    // One row of the port list: the name in the first column, which the
    // box shows and the daemon opens.
    void addPortRow(const QString &name, const QString &description, const QString &maker,
                    const QString &serialNumber, const QString &byId);
    void fitPortList();
    void showBrokerChoice();
    void fitBrokerNote();
    bool privateBrokerAvailable() const;

    frontend::StatusObject *m_status = nullptr;
    SerialSettings m_currentSettings;
    QIntValidator *m_intValidator = nullptr; // child of the dialog
    bool m_verifyAfterWriting = true;
    bool m_onlySignedFiles = false;

    QGroupBox *selectBox = nullptr;
    QComboBox *serialPortInfoListBox = nullptr;
    QStandardItemModel *m_portModel = nullptr; // child of the dialog
    QTreeView *m_portView = nullptr;           // the box's pop-up
    QToolButton *refreshPortsButton = nullptr;
    QGroupBox *parametersBox = nullptr;
    QLabel *baudRateLabel = nullptr;
    QComboBox *baudRateBox = nullptr;
    QLabel *dataBitsLabel = nullptr;
    QComboBox *dataBitsBox = nullptr;
    QLabel *parityLabel = nullptr;
    QComboBox *parityBox = nullptr;
    QLabel *stopBitsLabel = nullptr;
    QComboBox *stopBitsBox = nullptr;
    QLabel *flowControlLabel = nullptr;
    QComboBox *flowControlBox = nullptr;
    QGroupBox *groupBox = nullptr;
    QRadioButton *privateBrokerButton = nullptr;
    QRadioButton *tcpBrokerButton = nullptr;
    QLabel *brokerNoteLabel = nullptr;
    QLabel *mqttHostLabel = nullptr;
    QLineEdit *mqttHostEdit = nullptr;
    QLabel *MqttPortLabel = nullptr;
    QLineEdit *mqttPortEdit = nullptr;
    QPushButton *connectButton = nullptr;
    QGroupBox *updateBox = nullptr;
    QCheckBox *verifyBox = nullptr;
    QCheckBox *signedOnlyBox = nullptr;
    QPushButton *applyButton = nullptr;
};
