#pragma once

#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <optional>

class AppDelegate;
class CustomNSWindow;

// The viewer as main() starts it, in this process, driven through its controls
// as a reader would use them. The portal it talks to and the CA it trusts come
// from VELKARN_PORTAL_HOST and VELKARN_PORTAL_CA, which must be set first.
class ViewerSession
{
public:
    struct Opened
    {
        double clickMs = 0;      // the button's own handler, which lets the previous book go
        double documentMs = 0;   // "Open Book" until the downloaded book is loaded
        double firstPaintMs = 0; // "Open Book" until a page image reached the screen
        int pageCount = 0;
    };
    struct Found
    {
        double firstMatchMs = 0; // Return until the first match is painted, or the search ended
        double ms = 0;           // Return until every page was searched and the count is whole
        int matches = 0;
    };

    ViewerSession();
    ~ViewerSession();

    bool signIn(const QString &email, const QString &password); // and waits for the book list
    std::optional<Opened> openBook(const QString &name);         // from the book list
    std::optional<Found> search(const QString &pattern);
    // Opens the contents panel through the Go menu unless it is open, without
    // waiting for the outline: a reader searches while it is being read.
    bool openContents();
    // Waits for the book's outline (or its notice) in the panel: ms since
    // openContents and the entries shown.
    std::optional<Found> contentsShown();
    std::optional<double> pageThrough(); // ms, first page to last at scale 1.0, each painted
    // Chooses Exit, as Ctrl+Q does, and this time the process really ends.
    [[noreturn]] void exitForReal();

    QString errorText() const { return m_error; }

private:
    bool failed(const QString &error);
    bool waitForMatchInView();

    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<CustomNSWindow> window;
    QString m_error;
    QElapsedTimer m_contentsClock;
};
