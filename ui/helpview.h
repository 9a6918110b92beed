#pragma once

#include <QTextBrowser>
#include <QUrl>

#include <string_view>

// The description-page view. It is given a page path and shows that local
// file; a page that cannot be read is replaced by a short notice, so a
// missing html folder never stops the program.
class HelpView : public QTextBrowser {
    Q_OBJECT

public:
    explicit HelpView(QWidget* parent = nullptr);

    // Shows adress + page (a page name such as "\html\kiv4.htm"). Showing
    // the current page again reloads it.
    void showPage(const QString& adress, std::string_view page);

    // Number of HTML documents the view has loaded; lets tests see reloads.
    int pagesLoaded() const { return pagesLoaded_; }

    // Whether the last page could not be read and the notice is shown.
    bool showsNotice() const { return showsNotice_; }

    QVariant loadResource(int type, const QUrl& name) override;

private:
    int pagesLoaded_ = 0;
    bool showsNotice_ = false;
};
