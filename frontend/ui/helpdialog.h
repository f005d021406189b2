#pragma once

#include <QDialog>

#include <memory>

class HelpBrowser;
class QHBoxLayout;
class QHelpEngine;
class QHelpSearchEngine;
class QTabWidget;
class QWidget;

// The user manual: contents, keyword index and full-text search on the
// left, the page on the right, all read from the compiled help collection
// of the installed language that lies next to the executable. The search
// keeps its index beside a copy of the collection in the per-user data
// folder: the program's own folder may not be writable.
class HelpDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kInitialWidth = 895;
    static constexpr int kInitialHeight = 571;
    static constexpr int kTabMaxWidth = 450;
    static inline const char kStartPage[] = "qthelp://calvestrid.orkel/doc/indice.html";

    explicit HelpDialog(QWidget *parent = nullptr);
    ~HelpDialog() override;

    // Call once: picks the collection, fills the tabs and shows the start
    // page. A missing collection leaves the tabs and the page empty.
    void loadHelp();

    // "Help_IT.qhc" for "IT", "Help_EN.qhc" for every other code, in the
    // executable's directory (not the working directory).
    static QString collectionPath(const QString &languageCode);

    QHelpEngine *helpEngine() const { return m_engine.get(); }
    QHelpSearchEngine *searchEngine() const;
    QWidget *searchPage() const { return m_searchPage; }
    // Where the search's copy of a collection lives.
    static QString searchCollectionPath(const QString &collection);
    HelpBrowser *browser() const { return m_browser; }
    QTabWidget *tabWidget() const { return HelpTabWidget; }

private:
    void buildForm();
    void setupSearch(const QString &collection, const QString &tabText);

    QHBoxLayout *horizontalLayout = nullptr;
    QTabWidget *HelpTabWidget = nullptr;
    std::unique_ptr<QHelpEngine> m_engine;
    std::unique_ptr<QHelpEngine> m_searchHelp; // on the copy
    QWidget *m_searchPage = nullptr;
    HelpBrowser *m_browser = nullptr; // child of the dialog once inserted
};
