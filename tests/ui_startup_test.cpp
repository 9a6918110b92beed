// What start-up leans on to stay light: images read with their named format
// only, the view decoding its pictures that way, and standard icons read
// when first drawn rather than when asked for.
#include "ui/deferrediconstyle.h"
#include "ui/helpview.h"
#include "ui/imagefile.h"

#include <QApplication>
#include <QFile>
#include <QStyleOption>
#include <QTest>
#include <QTextDocument>

namespace {

// Counts how often the wrapped style is asked for a standard icon.
class CountingStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        ++calls;
        return QProxyStyle::standardIcon(which, option, widget);
    }
    mutable int calls = 0;
};

QString htmlDir() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/html");
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void readsImageFilesByNamedFormat_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::newRow("icon 32") << ":/icon32.png" << QByteArray("png") << QSize(32, 32);
        QTest::newRow("banner") << ":/banner.gif" << QByteArray("gif") << QSize(200, 60);
        // The named format is the only one tried: no fallback to probing.
        QTest::newRow("gif named png") << ":/banner.gif" << QByteArray("png") << QSize();
        QTest::newRow("png named gif") << ":/icon32.png" << QByteArray("gif") << QSize();
        QTest::newRow("missing file") << ":/nothing.png" << QByteArray("png") << QSize();
    }
    void readsImageFilesByNamedFormat() {
        QFETCH(QString, path);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        const QImage image = readImageFile(path, format.constData());
        QCOMPARE(image.isNull(), !size.isValid());
        if (size.isValid()) {
            QCOMPARE(image.size(), size);
        }
    }

    void readsImageDataByNamedFormat() {
        QFile file(htmlDir() + QStringLiteral("/kiv1.svg"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QByteArray svg = file.readAll();
        const QImage image = readImageData(svg, "svg");
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 100);
        QVERIFY(readImageData(svg, "png").isNull());
        QVERIFY(readImageData(QByteArray("not a picture"), "svg").isNull());
        QVERIFY(readImageData(QByteArray(), "svg").isNull());
    }

    // Every picture of every page reaches the document as a decoded image.
    void viewDecodesPagePictures_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("picture");
        for (int n = 1; n <= 10; ++n) {
            const QString page = QStringLiteral("kiv%1.htm").arg(n);
            QTest::newRow(qPrintable(page)) << page << QStringLiteral("kiv%1.svg").arg(n);
        }
    }
    void viewDecodesPagePictures() {
        QFETCH(QString, page);
        QFETCH(QString, picture);
        HelpView view;
        view.resize(329, 377);
        view.showPage(QCoreApplication::applicationDirPath(),
                      (QStringLiteral("\\html\\") + page).toStdString());
        QVERIFY(!view.showsNotice());
        const QVariant image =
            view.document()->resource(QTextDocument::ImageResource, QUrl(picture));
        QCOMPARE(image.typeId(), QMetaType::QImage);
        QVERIFY(!image.value<QImage>().isNull());
    }

    // A picture that is not there gets the view's small missing-picture sign;
    // the document is never left to read the file on its own.
    void viewMarksMissingPicture() {
        HelpView view;
        view.showPage(QCoreApplication::applicationDirPath(), "\\html\\kiv1.htm");
        const QVariant image =
            view.document()->resource(QTextDocument::ImageResource, QUrl("no-such.svg"));
        QCOMPARE(image.typeId(), QMetaType::QImage);
        QCOMPARE(image.value<QImage>().size(), QSize(16, 16));
    }

    void standardIconIsReadWhenFirstDrawn() {
        auto* counting = new CountingStyle;
        DeferredIconStyle style(counting);
        QWidget widget;
        const QIcon icon =
            style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, &widget);
        QCOMPARE(counting->calls, 0);
        QVERIFY(!icon.isNull());
        QCOMPARE(counting->calls, 1);
        const QImage drawn = icon.pixmap(16, 16).toImage();
        QCOMPARE(counting->calls, 1); // read once, then kept
        const QImage direct =
            counting->QProxyStyle::standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton)
                .pixmap(16, 16)
                .toImage();
        QVERIFY(!drawn.isNull());
        QCOMPARE(drawn, direct);
    }

    void standardIconWithOptionIsReadAtOnce() {
        auto* counting = new CountingStyle;
        DeferredIconStyle style(counting);
        QStyleOption option;
        const QIcon icon = style.standardIcon(QStyle::SP_ArrowRight, &option, nullptr);
        QCOMPARE(counting->calls, 1);
        QVERIFY(!icon.isNull());
    }

    // A copy that is changed gets its own engine, and still draws the icon.
    void deferredIconSurvivesCopying() {
        DeferredIconStyle style(new CountingStyle);
        QIcon icon = style.standardIcon(QStyle::SP_ArrowRight);
        QIcon copy = icon;
        copy.addPixmap(QPixmap(8, 8));
        QVERIFY(!icon.pixmap(16, 16).isNull());
        QVERIFY(!copy.pixmap(16, 16).isNull());
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ui_startup_test.moc"
