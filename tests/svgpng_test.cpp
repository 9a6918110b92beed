// svgpng, run as the Windows packaging runs it: every picture under html/
// comes out at its own size and at twice that, both showing the same
// drawing, and a file that is not a picture fails without leaving output.

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kTool = QStringLiteral(OSC_SVGPNG_PATH);
const QString kHtmlDir = QStringLiteral(OSC_HTML_DIR);

int runTool(const QStringList& args, QString* errors = nullptr) {
    QProcess tool;
    tool.start(kTool, args);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    if (errors) {
        *errors = QString::fromUtf8(tool.readAllStandardError());
    }
    return tool.exitCode();
}

// Share of pixels that differ clearly between two images of one size.
double differingShare(const QImage& a, const QImage& b) {
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            if (qAbs(p.red() - q.red()) + qAbs(p.green() - q.green()) + qAbs(p.blue() - q.blue()) +
                    qAbs(p.alpha() - q.alpha()) >
                160) {
                ++differing;
            }
        }
    }
    return double(differing) / (a.width() * a.height());
}

// Share of pixels that are dark and opaque: lines and labels.
double inkShare(const QImage& image) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (p.alpha() > 128 && p.lightness() < 128) {
                ++ink;
            }
        }
    }
    return double(ink) / (image.width() * image.height());
}

} // namespace

class SvgPngTest : public QObject {
    Q_OBJECT

private slots:
    void rendersEveryPictureAtOneAndTwoTimes() {
        const QStringList svgs =
            QDir(kHtmlDir).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
        QVERIFY(svgs.size() >= 10);
        QStringList paths;
        for (const QString& name : svgs) {
            paths.append(QDir(kHtmlDir).filePath(name));
        }
        QTemporaryDir out;
        QVERIFY(out.isValid());
        QCOMPARE(runTool(QStringList{out.path()} + paths), 0);

        for (const QString& path : paths) {
            const QString base = QFileInfo(path).completeBaseName();
            const QSize size = QSvgRenderer(path).defaultSize();
            const QImage one(out.filePath(base + QStringLiteral(".png")), "png");
            const QImage two(out.filePath(base + QStringLiteral("@2x.png")), "png");
            QCOMPARE(one.size(), size);
            QCOMPARE(two.size(), size * 2);
            // A schematic, not an empty or all-black canvas.
            QVERIFY2(inkShare(one) > 0.005 && inkShare(one) < 0.5, qPrintable(base));
            // The 2x file is the same drawing, not a corner of it enlarged.
            const QImage halved = two.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QVERIFY2(differingShare(one.convertToFormat(QImage::Format_ARGB32),
                                    halved.convertToFormat(QImage::Format_ARGB32)) < 0.03,
                     qPrintable(base));
        }
    }

    void failsOnAFileThatIsNoPicture() {
        QTemporaryDir out;
        QVERIFY(out.isValid());
        const QString notSvg = out.filePath(QStringLiteral("page.svg"));
        QFile file(notSvg);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html>not a picture</html>");
        file.close();
        QString errors;
        QCOMPARE(runTool({out.path(), notSvg}, &errors), 1);
        QVERIFY(errors.contains(QStringLiteral("page.svg")));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("page.png"))));
    }

    void refusesToRunWithoutFiles() { QCOMPARE(runTool({QDir::tempPath()}), 2); }
};

QTEST_MAIN(SvgPngTest)
#include "svgpng_test.moc"
