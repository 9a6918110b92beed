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

// Share of an image's pixels whose colour, as QColor, satisfies counts.
template <class Counts> double share(const QImage& image, Counts counts) {
    int counted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            counted += counts(image.pixelColor(x, y), x, y);
        }
    }
    return double(counted) / (image.width() * image.height());
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
            // A schematic, not an empty or all-black canvas: dark opaque
            // pixels are its lines and labels.
            const double ink = share(
                one, [](QColor p, int, int) { return p.alpha() > 128 && p.lightness() < 128; });
            QVERIFY2(ink > 0.005 && ink < 0.5, qPrintable(base));
            // The 2x file is the same drawing, not a corner of it enlarged.
            const QImage halved = two.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                      .convertToFormat(QImage::Format_ARGB32);
            const auto differs = [&](QColor p, int x, int y) {
                const QColor q = halved.pixelColor(x, y);
                return qAbs(p.red() - q.red()) + qAbs(p.green() - q.green()) +
                           qAbs(p.blue() - q.blue()) + qAbs(p.alpha() - q.alpha()) >
                       160;
            };
            QVERIFY2(share(one, differs) < 0.03, qPrintable(base));
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
        // The tool names the file itself, not only through Qt's own warning.
        QVERIFY2(errors.contains(notSvg + QStringLiteral(": ")), qPrintable(errors));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("page.png"))));
    }

    void refusesToRunWithoutFiles() { QCOMPARE(runTool({QDir::tempPath()}), 2); }
};

QTEST_MAIN(SvgPngTest)
#include "svgpng_test.moc"
