#include "frontend/ui/helpdialog.h"

#include "common/datafolder.h"
#include "frontend/base/lenguagge.h"
#include "frontend/ui/helpbrowser.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// The search's copy of `collection`, made again when the program brought a
// newer one; empty when none could be made.
QString searchCopyOf(const QString &collection)
{
    const QString copy = HelpDialog::searchCollectionPath(collection);
    const QFileInfo source(collection);
    const QFileInfo existing(copy);
    if (existing.exists() && existing.lastModified() >= source.lastModified())
        return copy;
    const QDir folder = existing.absoluteDir();
    if (!folder.mkpath(QStringLiteral(".")))
        return QString();
    QFile::remove(copy);
    // The index of an older copy would answer for pages that changed.
    QDir(folder.filePath(QLatin1Char('.') + existing.completeBaseName())).removeRecursively();
    QHelpEngineCore original(collection);
    original.setupData();
    return original.copyCollectionFile(copy) ? copy : QString();
}
} // namespace

HelpDialog::HelpDialog(QWidget *parent)
    : QDialog(parent)
{
    buildForm();
}

HelpDialog::~HelpDialog()
{
    // The views and the browser read the engines' models and files; they
    // must go before the engines do, not after them with the other children.
    delete m_browser;
    while (HelpTabWidget->count() > 0)
        delete HelpTabWidget->widget(0);
}

QHelpSearchEngine *HelpDialog::searchEngine() const
{
    return m_searchHelp ? m_searchHelp->searchEngine() : nullptr;
}

QString HelpDialog::searchCollectionPath(const QString &collection)
{
    return velmo::dataFolderPath() + QStringLiteral("/help/") + QFileInfo(collection).fileName();
}

void HelpDialog::buildForm()
{
    setObjectName(QStringLiteral("HelpDialog"));
    setModal(false);
    resize(kInitialWidth, kInitialHeight);
    // The manual may stay open beside the main window, but must not keep the
    // program running once the main window has been closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));

    HelpTabWidget = new QTabWidget(this);
    HelpTabWidget->setObjectName(QStringLiteral("HelpTabWidget"));
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    HelpTabWidget->setSizePolicy(policy);
    HelpTabWidget->setMaximumWidth(kTabMaxWidth);
    horizontalLayout->addWidget(HelpTabWidget);

    setWindowTitle(tr("Help"));
}

QString HelpDialog::collectionPath(const QString &languageCode)
{
    const QString file = languageCode == QLatin1String("IT") ? QStringLiteral("/Help_IT.qhc")
                                                             : QStringLiteral("/Help_EN.qhc");
    return QCoreApplication::applicationDirPath() + file;
}

void HelpDialog::loadHelp()
{
    if (m_engine)
        return; // the tabs and the browser exist once

    const QString language = Lenguagge().languageCode();
    const bool italian = language == QLatin1String("IT");
    // Fixed texts: the collection is already in the reader's language.
    const QString contentsText = italian ? QStringLiteral("Contenuti") : QStringLiteral("Contents");
    const QString indexText =
        italian ? QStringLiteral("Indice (A-Z)") : QStringLiteral("Index (A-Z)");
    const QString searchText = italian ? QStringLiteral("Cerca") : QStringLiteral("Search");

    // Opening a collection that is not there would leave an empty one in its
    // place in the program's folder; an engine without a file stays empty.
    const QString collection = collectionPath(language);
    const bool present = QFileInfo::exists(collection);
    if (!present)
        qWarning() << "Help collection not found:" << collection;
    m_engine = std::make_unique<QHelpEngine>(present ? collection : QString());
    m_engine->setupData();

    QHelpContentWidget *contents = m_engine->contentWidget();
    QHelpIndexWidget *index = m_engine->indexWidget();
    HelpTabWidget->addTab(contents, contentsText);
    HelpTabWidget->addTab(index, indexText);

    m_browser = new HelpBrowser(m_engine.get());
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setSource(QUrl(QString::fromLatin1(kStartPage)));

    connect(contents, &QHelpContentWidget::linkActivated, m_browser,
            [this](const QUrl &link) { m_browser->setSource(link); });
    // One click on an entry shows its page, as a reader expects of a list.
    connect(contents, &QAbstractItemView::clicked, m_browser, [this](const QModelIndex &index) {
        if (const QHelpContentItem *item = m_engine->contentModel()->contentItemAt(index))
            m_browser->setSource(item->url());
    });
    connect(
        index, &QHelpIndexWidget::documentActivated, m_browser,
        [this](const QHelpLink &document, const QString &) { m_browser->setSource(document.url); });
    // A keyword on several pages: the first page, as the index lists it.
    connect(index, &QHelpIndexWidget::documentsActivated, m_browser,
            [this](const QList<QHelpLink> &documents, const QString &) {
                if (!documents.isEmpty())
                    m_browser->setSource(documents.constFirst().url);
            });

    // Keep the contents on the page being read, however it was reached; they
    // are filled in the background, possibly after the first pages.
    const auto showCurrentEntry = [this, contents] {
        const QModelIndex entry = contents->indexOf(m_browser->source());
        if (entry.isValid())
            contents->setCurrentIndex(entry);
    };
    connect(m_browser, &QTextBrowser::sourceChanged, contents, showCurrentEntry);
    connect(m_engine->contentModel(), &QHelpContentModel::contentsCreated, contents,
            [contents, showCurrentEntry] {
                // The manual has one top entry; open it to show the chapters.
                contents->expandToDepth(0);
                showCurrentEntry();
            });
    if (m_engine->contentModel()->rowCount() > 0) {
        contents->expandToDepth(0);
        showCurrentEntry();
    }

    setupSearch(present ? collection : QString(), searchText);
    horizontalLayout->insertWidget(1, m_browser);
}

// Words of the pages, found through the index of the search's own copy of
// the collection; the pages themselves still come from the program's.
void HelpDialog::setupSearch(const QString &collection, const QString &tabText)
{
    const QString copy = collection.isEmpty() ? QString() : searchCopyOf(collection);
    if (!collection.isEmpty() && copy.isEmpty())
        qWarning() << "Help search: no copy of" << collection << "could be made";
    m_searchHelp = std::make_unique<QHelpEngine>(copy);
    m_searchHelp->setReadOnly(false);
    m_searchHelp->setupData();
    QHelpSearchEngine *search = m_searchHelp->searchEngine();
    m_searchPage = new QWidget;
    m_searchPage->setObjectName(QStringLiteral("HelpSearchPage"));
    auto *layout = new QVBoxLayout(m_searchPage);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(search->queryWidget());
    layout->addWidget(search->resultWidget(), 1);
    HelpTabWidget->addTab(m_searchPage, tabText);
    connect(search->queryWidget(), &QHelpSearchQueryWidget::search, search,
            [search] { search->search(search->queryWidget()->searchInput()); });
    connect(search->resultWidget(), &QHelpSearchResultWidget::requestShowLink, m_browser,
            [this](const QUrl &link) { m_browser->setSource(link); });
    if (!copy.isEmpty())
        search->scheduleIndexDocumentation();
}
