// The help viewer and the help collections it reads. The collections are
// copied next to this test program by the build, as they lie next to the
// front end; every case runs in a private working directory, where the
// translation files that pick the language are put.
#include "frontend/ui/helpbrowser.h"
#include "frontend/ui/helpdialog.h"
#include "frontend/ui/mainwindow.h"
#include "tests/frontend/fakedialogs.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kStartPage = QString::fromLatin1(HelpDialog::kStartPage);

// Every page the contents tree names, depth first.
void collectContentUrls(const QHelpContentItem *item, QList<QUrl> &urls)
{
    if (!item)
        return;
    if (item->url().isValid())
        urls.append(item->url());
    for (int i = 0; i < item->childCount(); ++i)
        collectContentUrls(item->child(i), urls);
}

QStringList hrefsOf(const QByteArray &page)
{
    static const QRegularExpression href(QStringLiteral("(?:href|src)=\"([^\"#]+)"));
    QStringList out;
    auto it = href.globalMatch(QString::fromUtf8(page));
    while (it.hasNext())
        out.append(it.next().captured(1));
    return out;
}

} // namespace

class TstHelp : public QObject
{
    Q_OBJECT

private:
    QString m_startDir;
    std::unique_ptr<QTemporaryDir> m_workDir;

    // A language file in the working directory, as an installation would
    // ship it; its content does not matter to the language choice.
    void putLanguageFile(const QString &name)
    {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    // Under Xvfb (see the commands in the report of the help viewer) the
    // help window is photographed for the documentation.
    static void takeScreenshot(HelpDialog *help)
    {
        const QString dir = qEnvironmentVariable("VELMO_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        help->move(40, 40);
        QTest::qWait(1500);
        QProcess::execute(QStringLiteral("import"),
                          {QStringLiteral("-window"), QStringLiteral("root"), dir + "/help.png"});
    }

private slots:
    void init()
    {
        m_startDir = QDir::currentPath();
        m_workDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_workDir->isValid());
        QVERIFY(QDir::setCurrent(m_workDir->path()));
    }
    void cleanup()
    {
        QDir::setCurrent(m_startDir);
        m_workDir.reset();
    }

    void collection_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("startText");
        QTest::newRow("EN") << "Help_EN.qhc"
                            << "Connecting a board";
        QTest::newRow("IT") << "Help_IT.qhc"
                            << "Collegare una scheda";
    }
    // The start page, every page of the contents, every link and style
    // sheet they use and every page of the index are inside the collection.
    void collection()
    {
        QFETCH(QString, file);
        QFETCH(QString, startText);
        const QString path = QCoreApplication::applicationDirPath() + '/' + file;
        QVERIFY2(QFile::exists(path), qPrintable(path));

        QHelpEngine engine(path);
        QVERIFY(engine.setupData());
        QVERIFY(engine.registeredDocumentations().contains(QStringLiteral("calvestrid.orkel")));
        const QByteArray start = engine.fileData(QUrl(kStartPage));
        QVERIFY(QString::fromUtf8(start).contains(startText));

        QHelpContentModel *contents = engine.contentModel();
        QTRY_VERIFY(!contents->isCreatingContents() && contents->rowCount() > 0);
        QList<QUrl> pages;
        for (int row = 0; row < contents->rowCount(); ++row)
            collectContentUrls(contents->contentItemAt(contents->index(row, 0)), pages);
        QCOMPARE(pages.first(), QUrl(kStartPage));
        QCOMPARE(pages.size(), 13);

        QSet<QUrl> checked;
        for (const QUrl &page : std::as_const(pages)) {
            const QByteArray html = engine.fileData(page);
            QVERIFY2(html.contains("<title>"), qPrintable(page.toString()));
            for (const QString &ref : hrefsOf(html)) {
                const QUrl target = page.resolved(QUrl(ref));
                if (checked.contains(target))
                    continue;
                checked.insert(target);
                QVERIFY2(!engine.fileData(target).isEmpty(),
                         qPrintable(page.toString() + " -> " + ref));
            }
        }

        QHelpIndexModel *index = engine.indexModel();
        QTRY_VERIFY(!index->isCreatingIndex() && index->rowCount() > 0);
        QVERIFY(index->rowCount() >= 30);
        for (const QString &keyword : index->stringList()) {
            const QList<QHelpLink> docs = engine.documentsForKeyword(keyword);
            QVERIFY2(!docs.isEmpty(), qPrintable(keyword));
            for (const QHelpLink &doc : docs)
                QVERIFY2(!engine.fileData(doc.url).isEmpty(), qPrintable(keyword));
        }
    }

    void formAndLanguage_data()
    {
        QTest::addColumn<QStringList>("languageFiles");
        QTest::addColumn<QString>("collection");
        QTest::addColumn<QString>("contentsTab");
        QTest::addColumn<QString>("indexTab");
        QTest::addColumn<QString>("startText");
        QTest::newRow("none") << QStringList() << "Help_EN.qhc"
                              << "Contents"
                              << "Index (A-Z)"
                              << "Connecting a board";
        QTest::newRow("it") << QStringList{"velmofrontend_it.qm"} << "Help_IT.qhc"
                            << "Contenuti"
                            << "Indice (A-Z)"
                            << "Con il programma si può"; // read as UTF-8
        QTest::newRow("it and fr")
            << QStringList{"velmofrontend_fr.qm", "velmofrontend_it.qm"} << "Help_IT.qhc"
            << "Contenuti"
            << "Indice (A-Z)"
            << "Collegare una scheda";
        // No Portuguese manual: the English one.
        QTest::newRow("pt") << QStringList{"velmofrontend_pt.qm"} << "Help_EN.qhc"
                            << "Contents"
                            << "Index (A-Z)"
                            << "Connecting a board";
    }
    // Also shows that the collection is taken from beside the executable:
    // the working directory here holds none.
    void formAndLanguage()
    {
        QFETCH(QStringList, languageFiles);
        QFETCH(QString, collection);
        QFETCH(QString, contentsTab);
        QFETCH(QString, indexTab);
        QFETCH(QString, startText);
        for (const QString &name : std::as_const(languageFiles))
            putLanguageFile(name);
        QVERIFY(QDir::current().entryList({QStringLiteral("*.qhc")}).isEmpty());

        HelpDialog dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("HelpDialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Help"));
        QCOMPARE(dialog.size(), QSize(895, 571));
        QVERIFY(!dialog.isModal());
        QTabWidget *tabs = dialog.findChild<QTabWidget *>(QStringLiteral("HelpTabWidget"));
        QVERIFY(tabs);
        QCOMPARE(tabs->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(tabs->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(tabs->maximumWidth(), 450);
        QCOMPARE(tabs->count(), 0); // filled by loadHelp() only

        dialog.loadHelp();
        QCOMPARE(dialog.helpEngine()->collectionFile(),
                 QCoreApplication::applicationDirPath() + '/' + collection);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), contentsTab);
        QCOMPARE(tabs->tabText(1), indexTab);
        QCOMPARE(tabs->tabText(2), contentsTab == QLatin1String("Contenuti")
                                       ? QStringLiteral("Cerca")
                                       : QStringLiteral("Search"));
        QCOMPARE(tabs->widget(2), dialog.searchPage());
        QCOMPARE(tabs->widget(0), dialog.helpEngine()->contentWidget());
        QCOMPARE(tabs->widget(1), dialog.helpEngine()->indexWidget());

        auto *layout = dialog.findChild<QHBoxLayout *>(QStringLiteral("horizontalLayout"));
        QVERIFY(layout);
        QCOMPARE(layout->indexOf(tabs), 0);
        QCOMPARE(layout->indexOf(dialog.browser()), 1);
        QCOMPARE(dialog.browser()->source(), QUrl(kStartPage));
        QVERIFY(dialog.browser()->toPlainText().contains(startText));
        QTRY_VERIFY(dialog.helpEngine()->contentModel()->rowCount() > 0);
        QTRY_VERIFY(dialog.helpEngine()->indexModel()->rowCount() > 0);
        // The chapters are in view without a click.
        QHelpContentWidget *contents = dialog.helpEngine()->contentWidget();
        QTRY_VERIFY(contents->isExpanded(contents->model()->index(0, 0)));
    }

    // A link in a page, an entry of the contents and a keyword of the index
    // each bring up their page from the same collection.
    void navigation()
    {
        HelpDialog dialog;
        dialog.loadHelp();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        HelpBrowser *browser = dialog.browser();

        // The first link of the start page, chosen with the keyboard.
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QTRY_COMPARE(browser->source(), QUrl("qthelp://calvestrid.orkel/doc/connect.html"));
        QVERIFY(browser->toPlainText().contains("Cable and port"));
        QHelpContentWidget *contents = dialog.helpEngine()->contentWidget();
        QHelpContentModel *model = dialog.helpEngine()->contentModel();
        QTRY_VERIFY(model->rowCount() > 0);
        QCOMPARE(model->contentItemAt(contents->currentIndex())->url().fileName(),
                 QStringLiteral("connect.html"));
        // The page's style sheet came from the collection as well.
        QVERIFY(!browser
                     ->loadResource(QTextDocument::StyleSheetResource,
                                    QUrl("qthelp://calvestrid.orkel/doc/style.css"))
                     .toByteArray()
                     .isEmpty());

        const QModelIndex root = model->index(0, 0);
        QModelIndex troubleshooting;
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex child = model->index(row, 0, root);
            if (model->contentItemAt(child)->url().fileName() == "troubleshooting.html")
                troubleshooting = child;
        }
        QVERIFY(troubleshooting.isValid());
        emit contents->activated(troubleshooting);
        QCOMPARE(browser->source(), QUrl("qthelp://calvestrid.orkel/doc/troubleshooting.html"));
        QVERIFY(browser->toPlainText().contains("Unable to connect with serial daemon."));

        QHelpIndexWidget *index = dialog.helpEngine()->indexWidget();
        QTRY_VERIFY(dialog.helpEngine()->indexModel()->rowCount() > 0);
        index->filterIndices(QStringLiteral("virtual board"));
        QVERIFY(index->currentIndex().isValid());
        index->activateCurrentItem();
        QCOMPARE(browser->source(), QUrl("qthelp://calvestrid.orkel/doc/virtualboard.html"));

        // Back to where the reader came from, as in any browser.
        browser->backward();
        QCOMPARE(browser->source(), QUrl("qthelp://calvestrid.orkel/doc/troubleshooting.html"));
    }

    // One click on an entry of the contents shows its page; words typed
    // in the search tab find the pages that hold them.
    void singleClickAndSearch()
    {
        HelpDialog dialog;
        dialog.loadHelp();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        HelpBrowser *browser = dialog.browser();
        QHelpContentWidget *contents = dialog.helpEngine()->contentWidget();
        QHelpContentModel *model = dialog.helpEngine()->contentModel();
        QTRY_VERIFY(model->rowCount() > 0);
        dialog.tabWidget()->setCurrentIndex(0);
        const QModelIndex root = model->index(0, 0);
        QModelIndex graphs;
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex child = model->index(row, 0, root);
            if (model->contentItemAt(child)->url().fileName() == "graphs.html")
                graphs = child;
        }
        QVERIFY(graphs.isValid());
        contents->scrollTo(graphs);
        QTest::mouseClick(contents->viewport(), Qt::LeftButton, Qt::NoModifier,
                          contents->visualRect(graphs).center());
        QCOMPARE(browser->source(), QUrl("qthelp://calvestrid.orkel/doc/graphs.html"));

        // The search keeps its index beside a copy in the user's folder,
        // not in the program's.
        QHelpSearchEngine *search = dialog.searchEngine();
        QVERIFY(search);
        QVERIFY(
            QFile::exists(HelpDialog::searchCollectionPath(dialog.helpEngine()->collectionFile())));
        // The index is made in the background when the help is loaded.
        search->queryWidget()->setSearchInput(QStringLiteral("virtual board"));
        QSignalSpy found(search, &QHelpSearchEngine::searchingFinished);
        for (int attempt = 0; attempt < 30 && search->searchResultCount() == 0; ++attempt) {
            emit search->queryWidget()->search();
            found.wait(1000);
        }
        QVERIFY(search->searchResultCount() > 0);
        QStringList pages;
        for (const QHelpSearchResult &result :
             search->searchResults(0, search->searchResultCount()))
            pages.append(result.url().fileName());
        QVERIFY2(pages.contains(QStringLiteral("virtualboard.html")), qPrintable(pages.join(',')));
        emit search->resultWidget()->requestShowLink(
            QUrl("qthelp://calvestrid.orkel/doc/virtualboard.html"));
        QCOMPARE(browser->source(), QUrl("qthelp://calvestrid.orkel/doc/virtualboard.html"));
        const QString programFolder = QCoreApplication::applicationDirPath();
        QVERIFY(!QFileInfo::exists(programFolder + QStringLiteral("/.Help_EN")));
    }

    // A page the collection does not hold shows as an empty page, and a
    // missing collection leaves everything empty, without a message.
    void missingPagesAndCollection()
    {
        FakeDialogs dialogs;
        HelpDialog dialog;
        dialog.loadHelp();
        dialog.browser()->setSource(QUrl("qthelp://calvestrid.orkel/doc/no-such-page.html"));
        QVERIFY(dialog.browser()->toPlainText().trimmed().isEmpty());

        QVERIFY(dialogs.boxes.isEmpty());
    }
    // A program folder without collections: empty tabs and an empty page,
    // no message, and no empty collection left behind in that folder. Run
    // by a copy of this program in a folder of its own.
    void missingCollection()
    {
        if (qEnvironmentVariableIsSet("VELMO_HELP_CHILD")) {
            FakeDialogs dialogs;
            HelpDialog dialog;
            dialog.loadHelp();
            QCOMPARE(dialog.tabWidget()->count(), 3);
            QCOMPARE(dialog.helpEngine()->contentModel()->rowCount(), 0);
            QCOMPARE(dialog.helpEngine()->indexModel()->rowCount(), 0);
            QVERIFY(dialog.browser()->toPlainText().trimmed().isEmpty());
            QVERIFY(dialogs.boxes.isEmpty());
            return;
        }
        QTemporaryDir programDir;
        QVERIFY(programDir.isValid());
        const QString copy = programDir.filePath(QStringLiteral("tst_help"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMO_HELP_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(copy, {QStringLiteral("missingCollection")});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 child.readAll().constData());
        QCOMPARE(QDir(programDir.path()).entryList(QDir::Files), QStringList{"tst_help"});
        QVERIFY(QDir::current().entryList(QDir::Files).isEmpty());
    }

    // F1 in the main window brings up the help window, always the same one
    // and still on the page the reader left.
    void mainWindowF1()
    {
        FakeDialogs dialogs;
        MainWindow window(nullptr, TestBroker::freePort());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window)); // F1 belongs to the active window
        HelpDialog *help = window.helpDialog();
        QVERIFY(help);
        QVERIFY(!help->parent());
        QVERIFY(help->windowFlags() & Qt::Window);
        QVERIFY(!help->isVisible());
        QVERIFY(window.form().actionHelpContents->isEnabled());
        QCOMPARE(help->browser()->source(), QUrl(kStartPage));

        QTest::keyClick(&window, Qt::Key_F1);
        QTRY_VERIFY(help->isVisible());
        QVERIFY(!help->isModal());
        takeScreenshot(help);

        help->browser()->setSource(QUrl("qthelp://calvestrid.orkel/doc/graphs.html"));
        help->close();
        window.activateWindow();
        window.form().actionHelpContents->trigger();
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(window.helpDialog(), help);
        QCOMPARE(help->browser()->source(), QUrl("qthelp://calvestrid.orkel/doc/graphs.html"));

        // Minimised and asked for again: it comes back.
        help->setWindowState(help->windowState() | Qt::WindowMinimized);
        window.form().actionHelpContents->trigger();
        QVERIFY(!(help->windowState() & Qt::WindowMinimized));
        QVERIFY(help->isVisible());
        QVERIFY(dialogs.boxes.isEmpty());
    }
};

QTEST_MAIN(TstHelp)
#include "tst_help.moc"
