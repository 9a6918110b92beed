// Checks the committed pictures in ui/resources as Qt's image readers see
// them: the banner GIF that the window shows at its own size with palette
// entry 0 see-through, and the icons that the window and the desktop use.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSet>

#include <string>
#include <vector>

namespace {

QString resource(const char* name) {
    return QStringLiteral(OSC_RESOURCES_DIR "/") + QLatin1String(name);
}

QByteArray readBytes(const char* name) {
    QFile file(resource(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Banner : public ::testing::Test {
protected:
    void SetUp() override {
        QImageReader reader(resource("banner.gif"), "gif");
        frames = reader.imageCount();
        gif = reader.read();
        ASSERT_FALSE(gif.isNull()) << reader.errorString().toStdString();
    }
    int frames = 0;
    QImage gif;
};

// The reader decodes to true colour, so the header's fixed fields say what it
// hides: the 89a format that the window's transparency needs, a global table
// of 64 colours (packed field at byte 10) whose entry 0 (bytes 13..15) is
// white, and the trailer that older viewers need.
TEST_F(Banner, IsAComplete89aFileWithA64ColourTableWhoseEntryZeroIsWhite) {
    const QByteArray bytes = readBytes("banner.gif");
    ASSERT_GE(bytes.size(), 16);
    EXPECT_TRUE(bytes.startsWith("GIF89a"));
    const auto packed = static_cast<unsigned char>(bytes[10]);
    EXPECT_TRUE(packed & 0x80) << "no global colour table";
    EXPECT_EQ(2u << (packed & 7), 64u);
    EXPECT_EQ(bytes.mid(13, 3), QByteArray("\xff\xff\xff"));
    EXPECT_TRUE(bytes.endsWith('\x3B'));
}

TEST_F(Banner, IsOne200By60Frame) {
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(gif.size(), QSize(200, 60));
    EXPECT_TRUE(gif.hasAlphaChannel()) << "no transparent entry";
}

// The window's colour must show around the drawing (entry 0, the white one,
// is the see-through one), the wave sits at the left and the blue title at
// the right.
TEST_F(Banner, DrawsRedMotifLeftAndBlueTitleRightOnATransparentMargin) {
    ASSERT_EQ(gif.size(), QSize(200, 60));
    int redLeft = 0, redElsewhere = 0, blueRight = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 200; ++x) {
            const QRgb c = gif.pixel(x, y);
            if (x == 0 || y == 0 || x == 199 || y == 59) {
                EXPECT_EQ(qAlpha(c), 0) << "edge pixel " << x << "," << y;
            }
            const bool red = qRed(c) > qBlue(c) + 100, blue = qBlue(c) > qRed(c) + 100;
            if (red) {
                ++(x < 66 ? redLeft : redElsewhere);
            }
            if (blue && x >= 66) {
                ++blueRight;
            }
        }
    }
    EXPECT_GT(redLeft, 100);
    EXPECT_EQ(redElsewhere, 0);
    EXPECT_GT(blueRight, 300);
}

// An icon of at most 16 colours with see-through pixels, whatever the file
// stores it as (a palette PNG, or a bitmap inside the ICO).
void expectSixteenColourIcon(const QImage& image, int size) {
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(size, size));
    QSet<QRgb> colours;
    bool seeThrough = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            colours.insert(c);
            seeThrough = seeThrough || qAlpha(c) == 0;
        }
    }
    EXPECT_LE(colours.size(), 16) << "more than 16 colours";
    EXPECT_TRUE(seeThrough) << "no fully transparent pixel";
}

class IconPng : public ::testing::TestWithParam<int> {};

// A palette PNG whose palette has a see-through entry; the reader refuses a
// file with a damaged chunk and drops a tRNS written after the image data.
TEST_P(IconPng, IsASixteenColourPaletteImageWithTransparency) {
    const int size = GetParam();
    QImageReader reader(resource(("icon" + std::to_string(size) + ".png").c_str()), "png");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_GE(image.colorCount(), 2);
    EXPECT_LE(image.colorCount(), 16);
    bool seeThroughEntry = false;
    for (const QRgb c : image.colorTable()) {
        seeThroughEntry = seeThroughEntry || qAlpha(c) == 0;
    }
    EXPECT_TRUE(seeThroughEntry) << "no fully transparent palette entry";
    expectSixteenColourIcon(image, size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconPng, ::testing::Values(16, 32, 48, 64, 128),
                         [](const auto& info) { return std::to_string(info.param); });

// The scalable icon the desktop uses at any other size: square, and drawn on
// a see-through ground.
TEST(IconSvg, IsSquareAndSeeThroughAroundTheDrawing) {
    QImageReader reader(resource("icon.svg"), "svg");
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    const QSize size = reader.size();
    EXPECT_FALSE(size.isEmpty());
    EXPECT_EQ(size.width(), size.height());
    reader.setScaledSize(QSize(128, 128));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

// Windows draws the program's small and large icon at 16 and 32 px at 100 %,
// 24 and 48 at 150 %, 32 and 64 at 200 %, and scales the nearest image for
// other sizes (256 for the largest views). The header's type field (1 = icon,
// 2 = cursor) is not checked by the reader.
TEST(AppIco, HoldsASixteenColourIconAtEachSizeWindowsDraws) {
    const QByteArray bytes = readBytes("app.ico");
    ASSERT_GE(bytes.size(), 6);
    EXPECT_EQ(bytes.left(4), QByteArray("\0\0\1\0", 4));
    QImageReader reader(resource("app.ico"), "ico");
    const std::vector<int> sizes{16, 24, 32, 48, 64, 256};
    ASSERT_EQ(reader.imageCount(), int(sizes.size()));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        SCOPED_TRACE(sizes[i]);
        ASSERT_TRUE(reader.jumpToImage(int(i)));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        expectSixteenColourIcon(image, sizes[i]);
    }
}

} // namespace
