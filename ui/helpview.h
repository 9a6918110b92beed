#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QTextBrowser>
#include <QUrl>

#include <optional>
#include <string_view>

// The description-page view. It is given a page path and shows that local
// file; a page that cannot be read is replaced by a short notice, so a
// missing html folder never stops the program.
//
// Everything it reads is read here, on the user-interface thread, so it
// reads only regular files of bounded size: a FIFO would block the window
// and a device such as /dev/zero would never end. Links lead only to pages
// in the folder of the shown page; web links go to the system's browser.
class HelpView : public QTextBrowser {
    Q_OBJECT

public:
    // The view's place in the window is 4935 x 5655 twips: 329 x 377 pixels.
    static constexpr QSize kSize{329, 377};

    // Generous for a page of text or a schematic; the pages are a few KiB.
    // Every cost of laying a page out grows with it: ui/pageguard.h holds
    // what the view honours of a page's content.
    static constexpr qint64 kMaxPageBytes = 64 * 1024;
    // What the pictures of one page may take together: the files read and
    // the pixels decoded. Decoding is the slow part of showing a picture, and
    // a page can name one file under many names.
    static constexpr qint64 kMaxPictureBytes = 512 * 1024;
    static constexpr qint64 kMaxPicturePixels = 8 * 1000 * 1000;
    struct PictureAllowance {
        qint64 bytes = kMaxPictureBytes;
        qint64 pixels = kMaxPicturePixels;
    };

    explicit HelpView(QWidget* parent = nullptr);

    // Shows adress + page (a page name such as "\html\kiv4.htm"). Showing
    // the current page again reloads it.
    void showPage(const QString& adress, std::string_view page);

    // Number of HTML documents the view has loaded; lets tests see reloads.
    int pagesLoaded() const { return pagesLoaded_; }

    // Whether the last page could not be shown and a notice is shown instead.
    bool showsNotice() const { return showsNotice_; }

    // The image formats the view can decode: Qt's image readers, unless a
    // test has set a list (nullopt goes back to Qt's). Without an "svg"
    // reader a picture NAME.svg is shown from NAME.png or NAME@2x.png.
    static QList<QByteArray> imageReaders();
    static void setImageReaders(std::optional<QList<QByteArray>> formats);

    QVariant loadResource(int type, const QUrl& name) override;

signals:
    // The user went to another page inside the view (a link, back or
    // forward); fileName is the page's file name, such as "kiv4.htm".
    void pageFollowed(const QString& fileName);

private:
    QVariant loadPage(const QUrl& url);
    QVariant loadStyleSheet(const QUrl& url);
    QString styleSheet(const QUrl& url);
    QImage loadPicture(const QUrl& url);
    void followLink(const QUrl& url);
    void noteSource(const QUrl& url);
    QString pageFolder() const;

    int pagesLoaded_ = 0;
    int styleRules_ = 0;               // of the shown page, its stylesheets included
    QHash<QUrl, QString> styleSheets_; // the shown page's, as checked
    PictureAllowance pictures_{};      // what the shown page's pictures may still take
    bool showsNotice_ = false;
    bool showingPage_ = false; // showPage() is navigating, not the user
    QUrl shownPage_;           // without its fragment
    QString pageFolder_;       // canonical folder of the page showPage() named
};
