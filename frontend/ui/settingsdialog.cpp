#include "frontend/ui/settingsdialog.h"

#include "common/brokerchoice.h"
#include "common/datafolder.h"
#include "frontend/base/preferences.h"
#include "frontend/core/frontendstatus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpacerItem>
#include <QStandardItemModel>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The keys have one home, shared with velmo-flash's reader.
using Keys = frontend::StoredPreferences;

constexpr int kDefaultDataBits = 8;
constexpr int kDefaultParity = 0;
constexpr int kDefaultStopBits = 1;
constexpr int kDefaultFlowControl = 0;
const QString kDefaultHost = QStringLiteral("127.0.0.1");
constexpr int kDefaultBrokerPort = 1883;
// Wide enough for a /dev/serial/by-id name to be read.
constexpr int kPortNameChars = 36;
// Columns of the port list; the box shows and opens the first.
enum PortColumn
{
    kPortColumn,
    kDescriptionColumn,
    kMakerColumn,
    kSerialColumn,
    kPortColumns
};

// The stored value, or the default written back when the key is missing.
int readOrWriteDefault(QSettings &settings, const QString &key, int fallback)
{
    if (settings.contains(key))
        return settings.value(key, fallback).toInt();
    settings.setValue(key, fallback);
    return fallback;
}

void selectByData(QComboBox *box, int value)
{
    box->setCurrentIndex(box->findData(value, Qt::UserRole, Qt::MatchExactly));
}

} // namespace

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
{
    buildForm();
    m_intValidator = new QIntValidator(0, kMaxCustomBaudRate, this);
    baudRateBox->setInsertPolicy(QComboBox::NoInsert);

    connect(applyButton, &QPushButton::clicked, this, &SettingsDialog::apply);
    connect(mqttHostEdit, &QLineEdit::textChanged, this, &SettingsDialog::enableConnect);
    connect(connectButton, &QPushButton::clicked, this, &SettingsDialog::connectMqtt);
    // Another broker is taken on Connect, as a changed host is.
    connect(privateBrokerButton, &QRadioButton::toggled, this, [this] {
        showBrokerChoice();
        connectButton->setEnabled(true);
    });
    connect(baudRateBox, &QComboBox::currentIndexChanged, this,
            &SettingsDialog::checkCustomBaudRatePolicy);
    connect(refreshPortsButton, &QToolButton::clicked, this, &SettingsDialog::portListWanted);
}

SettingsDialog::~SettingsDialog() = default;

QString SettingsDialog::preferencesPath()
{
    return frontend::StoredPreferences::defaultPath();
}

void SettingsDialog::buildForm()
{
    setObjectName(QStringLiteral("SettingsDialog"));
    resize(329, 304);

    auto *gridLayout_3 = new QGridLayout(this);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));

    selectBox = new QGroupBox(this);
    selectBox->setObjectName(QStringLiteral("selectBox"));
    auto *gridLayout = new QGridLayout(selectBox);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    serialPortInfoListBox = new QComboBox(selectBox);
    serialPortInfoListBox->setObjectName(QStringLiteral("serialPortInfoListBox"));
    // Besides the ports the daemon lists, a typed device path: a
    // /dev/serial/by-id name, or the virtual board's pseudo-terminal.
    serialPortInfoListBox->setEditable(true);
    serialPortInfoListBox->setInsertPolicy(QComboBox::NoInsert);
    serialPortInfoListBox->setMinimumContentsLength(kPortNameChars);
    serialPortInfoListBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The list pops up as a table: what each port is, besides its name.
    m_portModel = new QStandardItemModel(0, kPortColumns, this);
    serialPortInfoListBox->setModel(m_portModel);
    m_portView = new QTreeView(serialPortInfoListBox);
    m_portView->setRootIsDecorated(false);
    m_portView->setUniformRowHeights(true);
    m_portView->setAllColumnsShowFocus(true);
    m_portView->header()->setStretchLastSection(false);
    serialPortInfoListBox->setView(m_portView);
    // Inline completion would quietly turn a typed /dev/pts/1 into /dev/pts/12.
    serialPortInfoListBox->completer()->setCompletionMode(QCompleter::PopupCompletion);
    serialPortInfoListBox->completer()->setCaseSensitivity(Qt::CaseSensitive);
    gridLayout->addWidget(serialPortInfoListBox, 0, 0);
    refreshPortsButton = new QToolButton(selectBox);
    refreshPortsButton->setObjectName(QStringLiteral("refreshPortsButton"));
    refreshPortsButton->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    gridLayout->addWidget(refreshPortsButton, 0, 1);
    gridLayout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding), 1,
                        0);
    gridLayout_3->addWidget(selectBox, 0, 0);

    parametersBox = new QGroupBox(this);
    parametersBox->setObjectName(QStringLiteral("parametersBox"));
    auto *gridLayout_2 = new QGridLayout(parametersBox);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    auto addRow = [&](QLabel *&label, const char *labelName, QComboBox *&box, const char *boxName,
                      int row) {
        label = new QLabel(parametersBox);
        label->setObjectName(QString::fromLatin1(labelName));
        box = new QComboBox(parametersBox);
        box->setObjectName(QString::fromLatin1(boxName));
        gridLayout_2->addWidget(label, row, 0);
        gridLayout_2->addWidget(box, row, 1);
    };
    addRow(baudRateLabel, "baudRateLabel", baudRateBox, "baudRateBox", 0);
    addRow(dataBitsLabel, "dataBitsLabel", dataBitsBox, "dataBitsBox", 1);
    addRow(parityLabel, "parityLabel", parityBox, "parityBox", 2);
    addRow(stopBitsLabel, "stopBitsLabel", stopBitsBox, "stopBitsBox", 3);
    addRow(flowControlLabel, "flowControlLabel", flowControlBox, "flowControlBox", 4);
    gridLayout_2->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding), 5,
                          0);
    gridLayout_3->addWidget(parametersBox, 0, 1);

    groupBox = new QGroupBox(this);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    auto *gridLayout_4 = new QGridLayout(groupBox);
    gridLayout_4->setObjectName(QStringLiteral("gridLayout_4"));
    privateBrokerButton = new QRadioButton(groupBox);
    privateBrokerButton->setObjectName(QStringLiteral("privateBrokerButton"));
    tcpBrokerButton = new QRadioButton(groupBox);
    tcpBrokerButton->setObjectName(QStringLiteral("tcpBrokerButton"));
    gridLayout_4->addWidget(privateBrokerButton, 0, 0);
    gridLayout_4->addWidget(tcpBrokerButton, 1, 0);
    auto *horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    mqttHostLabel = new QLabel(groupBox);
    mqttHostLabel->setObjectName(QStringLiteral("mqttHostLabel"));
    mqttHostEdit = new QLineEdit(groupBox);
    mqttHostEdit->setObjectName(QStringLiteral("mqttHostEdit"));
    mqttHostEdit->setText(QStringLiteral("localhost"));
    mqttHostEdit->setAlignment(Qt::AlignCenter);
    horizontalLayout_3->addWidget(mqttHostLabel);
    horizontalLayout_3->addWidget(mqttHostEdit);
    gridLayout_4->addLayout(horizontalLayout_3, 2, 0);
    auto *horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    MqttPortLabel = new QLabel(groupBox);
    MqttPortLabel->setObjectName(QStringLiteral("MqttPortLabel"));
    mqttPortEdit = new QLineEdit(groupBox);
    mqttPortEdit->setObjectName(QStringLiteral("mqttPortEdit"));
    mqttPortEdit->setInputMask(QString());
    mqttPortEdit->setText(QStringLiteral("1883"));
    mqttPortEdit->setAlignment(Qt::AlignCenter);
    connectButton = new QPushButton(groupBox);
    connectButton->setObjectName(QStringLiteral("connectButton"));
    horizontalLayout_2->addWidget(MqttPortLabel);
    horizontalLayout_2->addWidget(mqttPortEdit);
    horizontalLayout_2->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding));
    horizontalLayout_2->addWidget(connectButton);
    horizontalLayout_2->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding));
    gridLayout_4->addLayout(horizontalLayout_2, 3, 0);
    brokerNoteLabel = new QLabel(groupBox);
    brokerNoteLabel->setObjectName(QStringLiteral("brokerNoteLabel"));
    brokerNoteLabel->setWordWrap(true);
    gridLayout_4->addWidget(brokerNoteLabel, 4, 0);
    gridLayout_3->addWidget(groupBox, 1, 0, 1, 2);

    updateBox = new QGroupBox(this);
    updateBox->setObjectName(QStringLiteral("updateBox"));
    auto *updateLayout = new QVBoxLayout(updateBox);
    verifyBox = new QCheckBox(updateBox);
    verifyBox->setObjectName(QStringLiteral("checkBoxVerify"));
    verifyBox->setChecked(true);
    updateLayout->addWidget(verifyBox);
    signedOnlyBox = new QCheckBox(updateBox);
    signedOnlyBox->setObjectName(QStringLiteral("checkBoxOnlySigned"));
    updateLayout->addWidget(signedOnlyBox);
    gridLayout_3->addWidget(updateBox, 2, 0, 1, 2);

    auto *horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addItem(new QSpacerItem(96, 20, QSizePolicy::Expanding));
    applyButton = new QPushButton(this);
    applyButton->setObjectName(QStringLiteral("applyButton"));
    horizontalLayout->addWidget(applyButton);
    gridLayout_3->addLayout(horizontalLayout, 3, 0, 1, 2);

    retranslateUi();
}

void SettingsDialog::retranslateUi()
{
    setWindowTitle(tr("Settings"));
    selectBox->setTitle(tr("Select Serial Port"));
    serialPortInfoListBox->lineEdit()->setPlaceholderText(tr("for example /dev/ttyUSB0"));
    serialPortInfoListBox->setToolTip(
        tr("Choose a port the PC reports, or type the path of the device."));
    m_portModel->setHorizontalHeaderLabels(
        {tr("Port"), tr("Description"), tr("Maker"), tr("Serial number")});
    refreshPortsButton->setToolTip(tr("Look for serial ports again"));
    parametersBox->setTitle(tr("Select Parameters"));
    baudRateLabel->setText(tr("BaudRate:"));
    dataBitsLabel->setText(tr("Data bits:"));
    parityLabel->setText(tr("Parity:"));
    stopBitsLabel->setText(tr("Stop bits:"));
    flowControlLabel->setText(tr("Flow control:"));
    groupBox->setTitle(tr("Select Mqtt Parameters"));
    privateBrokerButton->setText(tr("Private broker (only your account can reach it)"));
    tcpBrokerButton->setText(tr("TCP broker:"));
    brokerNoteLabel->setText(
        tr("A TCP broker is open to every account on this PC, and to the network when it "
           "listens there: whoever reaches it can read the firmware you send, command the "
           "board through the serial daemon and fake its answers."));
    mqttHostLabel->setText(tr("Host:"));
    MqttPortLabel->setText(tr("Port:"));
    connectButton->setText(tr("Connect"));
    updateBox->setTitle(tr("Firmware update"));
    verifyBox->setText(tr("Verify after writing"));
    verifyBox->setToolTip(tr("Read the whole program area back after the update and compare it "
                             "with the file. A board that cannot be read back is reported as not "
                             "verified."));
    signedOnlyBox->setText(tr("Only flash signed files"));
    signedOnlyBox->setToolTip(tr("Refuse, before sending, every file without a valid signature "
                                 "FILE.hex.sig of a trusted key (the program's keys folder or "
                                 "Keys in your data folder)."));
    applyButton->setText(tr("Apply"));
}

void SettingsDialog::loadInternalPrefs()
{
    if (!m_status)
        return;
    velmo::ensureDataFolder();
    frontend::PortSettings &port = m_status->portSettings;
    {
        QSettings settings(preferencesPath(), QSettings::IniFormat);
        if (settings.contains(QLatin1String(Keys::kPortKey))) {
            port.portName = settings.value(QLatin1String(Keys::kPortKey)).toString();
        } else {
            settings.setValue(QLatin1String(Keys::kPortKey), QString());
            port.portName.clear();
        }
        // The line always opens at 9600; the boot-loader link switches speed
        // itself, so the stored rate is not read back.
        port.baudRate = kDefaultBaudRate;
        port.dataBits =
            readOrWriteDefault(settings, QLatin1String(Keys::kDataBitsKey), kDefaultDataBits);
        port.parity = readOrWriteDefault(settings, QLatin1String(Keys::kParityKey), kDefaultParity);
        port.stopBits =
            readOrWriteDefault(settings, QLatin1String(Keys::kStopBitsKey), kDefaultStopBits);
        port.flowControl =
            readOrWriteDefault(settings, QLatin1String(Keys::kFlowControlKey), kDefaultFlowControl);
        settings.sync();

        if (settings.contains(QLatin1String(Keys::kHostKey))) {
            m_status->brokerHost =
                settings.value(QLatin1String(Keys::kHostKey), kDefaultHost).toString();
        } else {
            settings.setValue(QLatin1String(Keys::kHostKey), kDefaultHost);
            m_status->brokerHost = kDefaultHost;
        }
        m_status->brokerPort =
            readOrWriteDefault(settings, QLatin1String(Keys::kBrokerPortKey), kDefaultBrokerPort);
        const QString verifyKey = QLatin1String(frontend::StoredPreferences::kVerifyKey);
        if (!settings.contains(verifyKey))
            settings.setValue(verifyKey, true);
        m_verifyAfterWriting = settings.value(verifyKey, true).toBool();
        if (!settings.contains(QLatin1String(velmo::kPrivateBrokerKey)))
            settings.setValue(QLatin1String(velmo::kPrivateBrokerKey), true);
        m_status->privateBroker = settings.value(QLatin1String(velmo::kPrivateBrokerKey)).toBool();
        const QString signedKey = QLatin1String(frontend::StoredPreferences::kOnlySignedKey);
        if (!settings.contains(signedKey))
            settings.setValue(signedKey, false);
        m_onlySignedFiles = settings.value(signedKey, false).toBool();
        settings.sync();
    }
    verifyBox->setChecked(m_verifyAfterWriting);
    signedOnlyBox->setChecked(m_onlySignedFiles);
    fillForm();
    collectSettings();
    connectButton->setEnabled(false);
}

void SettingsDialog::fillForm()
{
    const frontend::PortSettings &port = m_status->portSettings;
    parametersBox->hide();

    serialPortInfoListBox->addItem(port.portName);

    baudRateBox->addItem(QStringLiteral("9600"), 9600);
    baudRateBox->addItem(QStringLiteral("115200"), 115200);
    selectByData(baudRateBox, port.baudRate);

    dataBitsBox->addItem(QStringLiteral("5"), 5);
    dataBitsBox->addItem(QStringLiteral("6"), 6);
    dataBitsBox->addItem(QStringLiteral("7"), 7);
    dataBitsBox->addItem(QStringLiteral("8"), 8);
    selectByData(dataBitsBox, port.dataBits);
    dataBitsLabel->hide();
    dataBitsBox->hide();

    parityBox->addItem(tr("None"), 0);
    parityBox->addItem(tr("Even"), 2);
    parityBox->addItem(tr("Odd"), 3);
    parityBox->addItem(tr("Mark"), 5);
    parityBox->addItem(tr("Space"), 4);
    selectByData(parityBox, port.parity);
    parityLabel->hide();
    parityBox->hide();

    stopBitsBox->addItem(QStringLiteral("1"), 1);
    stopBitsBox->addItem(QStringLiteral("1.5"), 3);
    stopBitsBox->addItem(QStringLiteral("2"), 2);
    selectByData(stopBitsBox, port.stopBits);
    stopBitsLabel->hide();
    stopBitsBox->hide();

    flowControlBox->addItem(tr("None"), 0);
    flowControlBox->addItem(tr("RTS/CTS"), 1);
    flowControlBox->addItem(tr("XON/XOFF"), 2);
    selectByData(flowControlBox, port.flowControl);
    flowControlLabel->hide();
    flowControlBox->hide();

    mqttHostEdit->setText(m_status->brokerHost);
    mqttPortEdit->setText(QString::number(m_status->brokerPort));
    {
        const QSignalBlocker blocker(privateBrokerButton);
        privateBrokerButton->setEnabled(privateBrokerAvailable());
        if (privateBrokerAvailable() && m_status->privateBroker)
            privateBrokerButton->setChecked(true);
        else
            tcpBrokerButton->setChecked(true);
    }
    if (!privateBrokerAvailable())
        privateBrokerButton->setToolTip(
            tr("Available when the tool is started with velmo-service-tool or scripts/run.sh."));
    showBrokerChoice();
    fitBrokerNote();
}

void SettingsDialog::fitBrokerNote()
{
    // How many lines the wrapped note takes depends on the width it is
    // given; only the dialog's own sizing asks the layout for that.
    adjustSize();
}

bool SettingsDialog::privateBrokerAvailable() const
{
    return !velmo::privateBrokerSocket().isEmpty();
}

void SettingsDialog::showBrokerChoice()
{
    const bool tcp = tcpBrokerButton->isChecked();
    mqttHostEdit->setEnabled(tcp);
    mqttPortEdit->setEnabled(tcp);
}

void SettingsDialog::collectSettings()
{
    if (!m_status)
        return;
    m_currentSettings.portName = serialPortInfoListBox->currentText().trimmed();

    // A box without a current item gives 0.
    auto take = [](const QComboBox *box, qint32 &value, QString &text) {
        value = box->currentData().toInt();
        text = box->currentText();
    };
    take(baudRateBox, m_currentSettings.baudRate, m_currentSettings.baudRateText);
    m_currentSettings.baudRateText = QString::number(m_currentSettings.baudRate);
    take(dataBitsBox, m_currentSettings.dataBits, m_currentSettings.dataBitsText);
    take(parityBox, m_currentSettings.parity, m_currentSettings.parityText);
    take(stopBitsBox, m_currentSettings.stopBits, m_currentSettings.stopBitsText);
    take(flowControlBox, m_currentSettings.flowControl, m_currentSettings.flowControlText);
    // The line settings without the box texts.
    m_status->portSettings = m_currentSettings;

    serializeInternalPrefs();
}

void SettingsDialog::serializeInternalPrefs()
{
    if (!m_status)
        return;
    velmo::ensureDataFolder();
    QSettings settings(preferencesPath(), QSettings::IniFormat);
    qDebug() << "[SettingsDialog] serializeInternalPrefs()";
    const frontend::PortSettings &port = m_status->portSettings;
    settings.setValue(QLatin1String(Keys::kPortKey), port.portName);
    settings.setValue(QLatin1String(Keys::kBaudKey), port.baudRate);
    settings.setValue(QLatin1String(Keys::kDataBitsKey), port.dataBits);
    settings.setValue(QLatin1String(Keys::kParityKey), port.parity);
    settings.setValue(QLatin1String(Keys::kStopBitsKey), port.stopBits);
    settings.setValue(QLatin1String(Keys::kFlowControlKey), port.flowControl);
    settings.sync();
    settings.setValue(QLatin1String(Keys::kHostKey), m_status->brokerHost);
    settings.setValue(QLatin1String(Keys::kBrokerPortKey), m_status->brokerPort);
    settings.setValue(QLatin1String(frontend::StoredPreferences::kVerifyKey), m_verifyAfterWriting);
    settings.setValue(QLatin1String(velmo::kPrivateBrokerKey), m_status->privateBroker);
    settings.setValue(QLatin1String(frontend::StoredPreferences::kOnlySignedKey),
                      m_onlySignedFiles);
    settings.sync();
}

void SettingsDialog::refreshPortList()
{
    if (!m_status)
        return;
    // What the user is typing survives the daemon's replies; a choice from
    // the list that was not applied does not.
    QLineEdit *edit = serialPortInfoListBox->lineEdit();
    const bool typing = isVisible() && edit->isModified();
    const QString typed = edit->text();
    serialPortInfoListBox->clear();
    // The daemon's names first, in its order; then the stable names of
    // those that have one, to be chosen as well.
    QList<const protocol::PortDetails *> stable;
    for (const QString &name : std::as_const(m_status->comPorts)) {
        const protocol::PortDetails *details = nullptr;
        for (const protocol::PortDetails &d : std::as_const(m_status->portDetails))
            if (d.name == name)
                details = &d;
        if (!details) {
            addPortRow(name, QString(), QString(), QString(), QString());
            continue;
        }
        addPortRow(name, details->description, details->manufacturer, details->serialNumber,
                   details->byIdPath);
        if (!details->byIdPath.isEmpty())
            stable.append(details);
    }
    for (const protocol::PortDetails *d : std::as_const(stable))
        addPortRow(d->byIdPath, tr("Stable name of %1 (stays when plugged in again)").arg(d->name),
                   d->manufacturer, d->serialNumber, d->byIdPath);
    fitPortList();
    const QString &stored = m_status->portSettings.portName;
    const int index =
        serialPortInfoListBox->findText(stored, Qt::MatchExactly | Qt::MatchCaseSensitive);
    serialPortInfoListBox->setCurrentIndex(index);
    if (typing) {
        serialPortInfoListBox->setEditText(typed);
        edit->setModified(true);
    } else if (index < 0) {
        // A typed path the daemon does not list is still the chosen port.
        serialPortInfoListBox->setEditText(stored);
    }
}

void SettingsDialog::addPortRow(const QString &name, const QString &description,
                                const QString &maker, const QString &serialNumber,
                                const QString &byId)
{
    QList<QStandardItem *> row;
    // The name as the daemon sent it, one byte per character.
    for (const QString &text :
         {QString::fromLatin1(name.toLatin1()), description, maker, serialNumber}) {
        auto *item = new QStandardItem(text);
        item->setEditable(false);
        row.append(item);
    }
    QStringList tip{name};
    if (!description.isEmpty())
        tip << description;
    if (!maker.isEmpty())
        tip << tr("Maker: %1").arg(maker);
    if (!serialNumber.isEmpty())
        tip << tr("Serial number: %1").arg(serialNumber);
    if (!byId.isEmpty() && byId != name)
        tip << tr("Stable name: %1").arg(byId);
    for (QStandardItem *item : std::as_const(row))
        item->setToolTip(tip.join(QLatin1Char('\n')));
    m_portModel->appendRow(row);
}

void SettingsDialog::fitPortList()
{
    // Details nobody gave take no room; the rest is sized to its contents,
    // and the pop-up to all of them.
    int shown = 0;
    for (int column = 0; column < kPortColumns; ++column) {
        bool any = false;
        for (int row = 0; row < m_portModel->rowCount() && !any; ++row) {
            const QStandardItem *item = m_portModel->item(row, column);
            any = item && !item->text().isEmpty();
        }
        const bool hidden = column != kPortColumn && !any;
        m_portView->setColumnHidden(column, hidden);
        shown += hidden ? 0 : 1;
    }
    QHeaderView *header = m_portView->header();
    // A list of bare names needs no headings.
    header->setVisible(shown > 1);
    header->resizeSections(QHeaderView::ResizeToContents);
    int width = 0;
    for (int column = 0; column < kPortColumns; ++column)
        if (!m_portView->isColumnHidden(column))
            width += header->sectionSize(column);
    m_portView->setMinimumWidth(width + m_portView->verticalScrollBar()->sizeHint().width() +
                                2 * m_portView->frameWidth());
}

void SettingsDialog::enableConnect(const QString &text)
{
    Q_UNUSED(text);
    connectButton->setEnabled(true);
}

void SettingsDialog::apply()
{
    m_verifyAfterWriting = verifyBox->isChecked();
    m_onlySignedFiles = signedOnlyBox->isChecked();
    collectSettings();
    serialPortInfoListBox->lineEdit()->setModified(false);
    hide();
    emit done();
}

void SettingsDialog::connectMqtt()
{
    if (!m_status)
        return;
    m_status->brokerHost = mqttHostEdit->text();
    m_status->brokerPort = mqttPortEdit->text().toInt(); // 0 when not a number
    // Without a private broker to choose, the stored choice stays for the
    // next start through the launcher.
    if (privateBrokerAvailable())
        m_status->privateBroker = privateBrokerButton->isChecked();
    serializeInternalPrefs();
    emit reconnect();
    connectButton->setEnabled(false);
}

void SettingsDialog::checkCustomBaudRatePolicy(int idx)
{
    const bool isCustomBaudRate = idx >= 0 && !baudRateBox->itemData(idx).isValid();
    baudRateBox->setEditable(isCustomBaudRate);
    if (isCustomBaudRate) {
        baudRateBox->clearEditText();
        if (QLineEdit *edit = baudRateBox->lineEdit())
            edit->setValidator(m_intValidator);
    }
}
