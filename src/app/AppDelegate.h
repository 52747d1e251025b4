#pragma once

#include "CustomNSWindow.h"
#include "GrowingSearch.h"
#include "PdfSelection.h"
#include "PendingSearch.h"
#include "ReadingHistory.h"
#include "UrlRequest.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class velkarn;
class PDFImageView;
class QAction;
class QComboBox;
class QInputDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QTimer;
class QWidget;

namespace vk {
class BookOpening;
class ContentsPanel;
class PdfDocument;
class PdfView;
class PortalRequests;
struct PdfOutlineEntry;
struct SearchStep;
template <class Base>
class Panel;
}
using PanelView = vk::Panel<QWidget>;

// The one controller of the viewer: it owns the window's controls, the portal
// session, the book list, the open document and the search state. Its
// operations stay short: the portal's requests are vk::PortalRequests', the
// opening of books vk::BookOpening's, the search over text still arriving
// vk::GrowingSearch's and the one that waits for all of it vk::PendingSearch's.
class AppDelegate : public QObject, public WindowDelegate
{
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // Launch callbacks, in the order the application runs them.
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    // Window delegate.
    void windowWillClose() override;

    // Menu actions.
    void login();
    void logout();
    void openbookm();
    void exitappnow();

    // Portal requests; each sets the guard and returns at once.
    void checkserver();
    void checkuser();
    void checkbooks();
    void pdfstatusupdate(const QString &status);

    // Answer parsers, run by the completion handlers on the session worker.
    void parselogindata(const QString &text);
    void parsebookdata(const QString &text);

    // Login and polling.
    void logonPressed();
    void logonPressed2();
    void checkservert();
    void checkusert();
    void checkbookt();
    void timer1();

    // Books.
    void bookbPressed();
    void openbook();
    void openbookempty();

    // Navigation and zoom.
    void firstPressed();
    void prevPressed();
    void nextPressed();
    void lastPressed();
    void popzoom();
    void comboBoxSelectionDidChange();

    // Reading: going to a page, the contents, back and forward through jumps.
    void goToPageAsked();
    void goToPageNumber(const QString &text);
    void toggleContents();
    void goBack();
    void goForward();

    // Search.
    void tvaction();
    void searchPressedf();
    void searchPressedp();
    void searchPressedn();
    void findfirsttext(const QString &pattern);
    void findnexttext();
    void findprevtext();
    void findtext(const QString &pattern);
    void findnexttext2(const QString &pattern);

    void setTextSizeC(QWidget *control, double size); // declared, unused
    QString opendialog(bool chooseFiles, bool chooseDirectories); // declared, unused

    // The process ends through this; tests put an observer in its place.
    using ExitFunction = std::function<void(int status)>;
    void setExitFunction(ExitFunction exitFunction);

    // The state of the session, for tests and diagnostics.
    quint8 guardValue() const { return asyncloopnowentered.load(std::memory_order_acquire); }
    quint8 monlineValue() const { return monline.load(std::memory_order_relaxed); }
    qint32 sonlineValue() const { return sonline; }
    QString company() const { return company_global; }
    QString category() const { return category_global; }
    QString useronlineFlag() const { return useronline; }
    QStringList booknames() const { return bookname; }
    QStringList booklocs() const { return bookloc; }
    QStringList bookpasses() const { return bookpass; }
    qint32 bookcount() const { return bookmax; }
    std::shared_ptr<vk::PdfDocument> document() const { return pdfDoc; }
    QUrl bookUrl() const { return url; }
    std::optional<QList<vk::PdfSelection>> searchResults() const { return results; }
    qint32 searchIndex() const { return findcount; }
    bool isServerTimerLive() const { return checkservertimer != nullptr; }
    bool isUserTimerLive() const { return checkusertimer != nullptr; }
    bool isBookTimerLive() const { return checkbooktimer != nullptr; }
    // A book download runs, or its bytes wait to be handed to the view.
    bool isDownloading() const;
    QLabel *matchl() const { return _matchl; }
    QLabel *pagel() const { return m_pagel; }
    vk::ContentsPanel *contents() const { return m_contents; }
    QInputDialog *pageDialog() const { return m_pageDialog; }

    // Declared properties.
    QMenu *submenu() const { return _submenu; }
    void setSubmenu(QMenu *v) { _submenu = v; }
    CustomNSWindow *window() const { return _window; }
    void setWindow(CustomNSWindow *v) { _window = v; }
    vk::PdfView *pdfView() const { return _pdfView; }
    void setPdfView(vk::PdfView *v) { _pdfView = v; }
    PanelView *view1() const { return _view1; }
    void setView1(PanelView *v) { _view1 = v; }
    PanelView *view2() const { return _view2; }
    void setView2(PanelView *v) { _view2 = v; }
    PanelView *view3() const { return _view3; }
    void setView3(PanelView *v) { _view3 = v; }
    PanelView *bookview() const { return _bookview; }
    void setBookview(PanelView *v) { _bookview = v; }
    QComboBox *bookcombo() const { return _bookcombo; }
    void setBookcombo(QComboBox *v) { _bookcombo = v; }
    QComboBox *zoomcombo() const { return _zoomcombo; }
    void setZoomcombo(QComboBox *v) { _zoomcombo = v; }
    QLabel *zooml() const { return _zooml; }
    void setZooml(QLabel *v) { _zooml = v; }
    QPushButton *bookbutton() const { return _bookbutton; }
    void setBookbutton(QPushButton *v) { _bookbutton = v; }
    QPushButton *first() const { return _first; }
    void setFirst(QPushButton *v) { _first = v; }
    QPushButton *next() const { return _next; }
    void setNext(QPushButton *v) { _next = v; }
    QPushButton *last() const { return _last; }
    void setLast(QPushButton *v) { _last = v; }
    QPushButton *prev() const { return _prev; }
    void setPrev(QPushButton *v) { _prev = v; }
    QPushButton *searchf() const { return _searchf; }
    void setSearchf(QPushButton *v) { _searchf = v; }
    QPushButton *searchp() const { return _searchp; }
    void setSearchp(QPushButton *v) { _searchp = v; }
    QPushButton *searchn() const { return _searchn; }
    void setSearchn(QPushButton *v) { _searchn = v; }
    QPushButton *logonb() const { return _logonb; }
    void setLogonb(QPushButton *v) { _logonb = v; }
    QLineEdit *searchtv() const { return _searchtv; }
    void setSearchtv(QLineEdit *v) { _searchtv = v; }
    QLabel *usertfl() const { return _usertfl; }
    void setUsertfl(QLabel *v) { _usertfl = v; }
    QLabel *passtfl() const { return _passtfl; }
    void setPasstfl(QLabel *v) { _passtfl = v; }
    QLineEdit *usertf() const { return _usertf; }
    void setUsertf(QLineEdit *v) { _usertf = v; }
    QLineEdit *passtf() const { return _passtf; }
    void setPasstf(QLineEdit *v) { _passtf = v; }
    QLabel *tooltip1() const { return _tooltip1; }
    void setTooltip1(QLabel *v) { _tooltip1 = v; }
    QScrollArea *sv() const { return _sv; }
    void setSv(QScrollArea *v) { _sv = v; }
    QString filename1() const { return _filename1; }
    void setFilename1(const QString &v) { _filename1 = v; }
    QString pass1() const { return _pass1; }
    void setPass1(const QString &v) { _pass1 = v; }
    QAction *winAMenuItem() const { return _winAMenuItem; }
    void setWinAMenuItem(QAction *v) { _winAMenuItem = v; }
    QAction *winAMenuItem2() const { return _winAMenuItem2; }
    void setWinAMenuItem2(QAction *v) { _winAMenuItem2 = v; }
    QAction *winAMenuItem3() const { return _winAMenuItem3; }
    void setWinAMenuItem3(QAction *v) { _winAMenuItem3 = v; }
    vk::UrlRequest RequestURL() const { return _RequestURL; }
    void setRequestURL(const vk::UrlRequest &v) { _RequestURL = v; }

private:
    // Start-up and layout (src/app).
    void buildLayout(int W, int H);
    void installKeyboardShortcuts();

    // Login and polling.
    void startWaitingTimer(QTimer *&timer, int intervalMs, void (AppDelegate::*handler)());
    static void invalidate(QTimer *&timer);
    void showMessage(const QString &message);
    void retryServerCheck();

    // Exit.
    void endProgram();

    // Books.
    void showDocument(std::shared_ptr<vk::PdfDocument> document);

    // Search.
    // Runs search now, or once the shown document's text is indexed; true when now.
    bool runWhenTextIndexed(std::function<void()> search);
    void searchGrew(const vk::GrowingSearch::Update &update);
    void applySearchStep(const vk::SearchStep &step);
    void selectMatch();
    void showMatchCount();
    void stepZoom(int step);

    // Reading (AppDelegateReading.cpp).
    void buildReadingControls(int H);
    int shownPageCount() const;
    void updatePageLabel();
    void readingDocumentChanged();
    // Runs move and keeps where the view was, for going back.
    void jump(const std::function<void()> &move);
    void askPageNumber(const QString &reason);
    void requestContents();
    void showContentsEntry(const vk::PdfOutlineEntry &entry);
    void zoomAround(int steps, QPoint viewportPos);

    // Plain fields.
    std::unique_ptr<velkarn> velkarninst;
    QString responsedata;
    PDFImageView *PDFImageView1 = nullptr; // declared, unused
    std::shared_ptr<vk::PdfDocument> pdfDoc;
    QUrl url;
    QTimer *checkusertimer = nullptr;
    QTimer *checkservertimer = nullptr;
    QTimer *checkbooktimer = nullptr;
    QTimer *checkszoomtimer = nullptr; // declared, unused
    std::optional<QList<vk::PdfSelection>> results;
    qint32 findcount = 0;
    QString password_global;
    QString passwordenc_global;
    QString user_global;
    QString company_global;
    QString category_global;
    QString useronline;
    QString useractive;
    QString resactive;
    // Atomic because leaving the program reads it without waiting for the guard.
    std::atomic<quint8> monline = 0;
    qint32 sonline = 0;
    std::atomic<quint8> asyncloopnowentered = 0;
    QStringList bookname;
    QStringList bookloc;
    QStringList bookpass;
    qint32 bookmax = 0;

    // Declared properties.
    QMenu *_submenu = nullptr;
    CustomNSWindow *_window = nullptr;
    vk::PdfView *_pdfView = nullptr;
    PanelView *_view1 = nullptr;
    PanelView *_view2 = nullptr;
    PanelView *_view3 = nullptr;
    PanelView *_bookview = nullptr;
    QComboBox *_bookcombo = nullptr;
    QComboBox *_zoomcombo = nullptr;
    QLabel *_zooml = nullptr;
    QPushButton *_bookbutton = nullptr;
    QPushButton *_first = nullptr;
    QPushButton *_next = nullptr;
    QPushButton *_last = nullptr;
    QPushButton *_prev = nullptr;
    QPushButton *_searchf = nullptr;
    QPushButton *_searchp = nullptr;
    QPushButton *_searchn = nullptr;
    QPushButton *_logonb = nullptr;
    QLineEdit *_searchtv = nullptr;
    QLabel *_usertfl = nullptr;
    QLabel *_passtfl = nullptr;
    QLineEdit *_usertf = nullptr;
    QLineEdit *_passtf = nullptr;
    QLabel *_tooltip1 = nullptr;
    QScrollArea *_sv = nullptr; // declared, unused
    QString _filename1;
    QString _pass1;
    QAction *_winAMenuItem = nullptr;
    QAction *_winAMenuItem2 = nullptr;
    QAction *_winAMenuItem3 = nullptr;
    vk::UrlRequest _RequestURL;

    // Each waiting timer waits for its own request, not only for the shared guard.
    std::unique_ptr<vk::PortalRequests> m_portal;
    bool m_serverRetrying = false; // the title says the portal is down until it answers
    // A newer opening, the book list or a logout discards the one under way.
    std::unique_ptr<vk::BookOpening> m_opening;
    vk::PendingSearch m_pendingSearch;
    // The search of results while the book's text is still arriving; until
    // it is complete, results holds the matches of the pages read so far.
    vk::GrowingSearch m_growingSearch;
    bool m_resultsComplete = true;

    QLabel *_matchl = nullptr;
    ExitFunction m_exitFunction;

    QLabel *m_pagel = nullptr;
    vk::ContentsPanel *m_contents = nullptr;
    QInputDialog *m_pageDialog = nullptr; // owned by the window
    vk::ReadingHistory m_history;
    std::optional<vk::PdfPlace> m_jumpPending; // a jump that waits for the view to move
};
