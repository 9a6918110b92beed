// Checks the committed pictures in ui/resources by reading their bytes: the
// banner GIF that the window shows at its own size with palette entry 0 see-
// through, and the icon PNGs and ICO that the window and the desktop use.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readResource(const std::string& name) {
    std::ifstream in(std::string(OSC_RESOURCES_DIR) + "/" + name, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + name);
    }
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Bounds-checked little/big-endian reads; a truncated file throws.
std::uint8_t at(const Bytes& b, std::size_t i) {
    if (i >= b.size()) {
        throw std::runtime_error("file ends early");
    }
    return b[i];
}
unsigned le16(const Bytes& b, std::size_t i) {
    return at(b, i) | at(b, i + 1) << 8;
}
std::uint32_t le32(const Bytes& b, std::size_t i) {
    return le16(b, i) | le16(b, i + 2) << 16;
}
std::uint32_t be32(const Bytes& b, std::size_t i) {
    return std::uint32_t(at(b, i)) << 24 | at(b, i + 1) << 16 | at(b, i + 2) << 8 | at(b, i + 3);
}

// ---- GIF ----

using Rgb = std::array<std::uint8_t, 3>;

struct Frame {
    unsigned left, top, width, height;
    bool localTable;
    Bytes pixels; // palette indices, row by row from the top
};

struct Gif {
    std::string signature;
    unsigned width = 0, height = 0;
    bool globalTable = false;
    std::vector<Rgb> palette;
    int graphicControls = 0;
    bool transparentFlag = false;
    int transparentIndex = -1;
    std::vector<Frame> frames;
    bool trailer = false;
};

// Concatenated data sub-blocks starting at pos; pos ends after the terminator.
Bytes subBlocks(const Bytes& b, std::size_t& pos) {
    Bytes data;
    for (unsigned n = at(b, pos++); n != 0; n = at(b, pos++)) {
        for (unsigned i = 0; i < n; ++i) {
            data.push_back(at(b, pos++));
        }
    }
    return data;
}

Bytes lzwDecode(const Bytes& in, unsigned minCodeSize) {
    if (minCodeSize < 2 || minCodeSize > 8) {
        throw std::runtime_error("bad LZW code size");
    }
    const unsigned clear = 1u << minCodeSize, end = clear + 1;
    std::vector<Bytes> table;
    unsigned codeSize = 0;
    auto reset = [&] {
        table.clear();
        for (unsigned i = 0; i < clear + 2; ++i) {
            table.push_back(i < clear ? Bytes{std::uint8_t(i)} : Bytes{});
        }
        codeSize = minCodeSize + 1;
    };
    reset();
    Bytes out;
    int prev = -1;
    std::size_t bit = 0;
    for (;;) {
        if (bit + codeSize > in.size() * 8) {
            throw std::runtime_error("LZW data ends without end code");
        }
        unsigned code = 0;
        for (unsigned i = 0; i < codeSize; ++i, ++bit) {
            code |= ((in[bit / 8] >> (bit % 8)) & 1u) << i;
        }
        if (code == clear) {
            reset();
            prev = -1;
            continue;
        }
        if (code == end) {
            return out;
        }
        Bytes entry;
        if (code < table.size()) {
            entry = table[code];
        } else if (code == table.size() && prev >= 0) {
            entry = table[prev];
            entry.push_back(table[prev][0]);
        } else {
            throw std::runtime_error("bad LZW code");
        }
        out.insert(out.end(), entry.begin(), entry.end());
        if (prev >= 0 && table.size() < 4096) {
            Bytes added = table[prev];
            added.push_back(entry[0]);
            table.push_back(added);
            if (table.size() == (1u << codeSize) && codeSize < 12) {
                ++codeSize;
            }
        }
        prev = int(code);
    }
}

// Interlaced frames store every 8th row from 0, every 8th from 4, every 4th
// from 2, then every 2nd from 1.
Bytes deinterlace(const Bytes& in, unsigned width, unsigned height) {
    if (in.size() != std::size_t(width) * height) {
        return in;
    }
    Bytes out(in.size());
    std::size_t from = 0;
    for (const auto& [start, step] : {std::pair{0u, 8u}, {4u, 8u}, {2u, 4u}, {1u, 2u}}) {
        for (unsigned y = start; y < height; y += step, from += width) {
            std::copy_n(in.begin() + from, width, out.begin() + std::size_t(y) * width);
        }
    }
    return out;
}

Gif parseGif(const Bytes& b) {
    Gif g;
    g.signature.assign(b.begin(), b.begin() + std::min<std::size_t>(6, b.size()));
    g.width = le16(b, 6);
    g.height = le16(b, 8);
    const unsigned packed = at(b, 10);
    g.globalTable = packed & 0x80;
    std::size_t pos = 13;
    if (g.globalTable) {
        const unsigned entries = 2u << (packed & 7);
        for (unsigned i = 0; i < entries; ++i, pos += 3) {
            g.palette.push_back({at(b, pos), at(b, pos + 1), at(b, pos + 2)});
        }
    }
    for (;;) {
        const unsigned kind = at(b, pos++);
        if (kind == 0x3B) {
            g.trailer = true;
            return g;
        }
        if (kind == 0x21) {
            const unsigned label = at(b, pos++);
            const Bytes data = subBlocks(b, pos);
            if (label == 0xF9) {
                if (data.size() != 4) {
                    throw std::runtime_error("bad graphic control extension");
                }
                ++g.graphicControls;
                g.transparentFlag = data[0] & 1;
                g.transparentIndex = data[3];
            }
        } else if (kind == 0x2C) {
            Frame f{le16(b, pos), le16(b, pos + 2), le16(b, pos + 4), le16(b, pos + 6), false, {}};
            const unsigned fpacked = at(b, pos + 8);
            pos += 9;
            f.localTable = fpacked & 0x80;
            if (f.localTable) {
                pos += 3 * (2u << (fpacked & 7));
            }
            const unsigned minCodeSize = at(b, pos++);
            f.pixels = lzwDecode(subBlocks(b, pos), minCodeSize);
            if (fpacked & 0x40) {
                f.pixels = deinterlace(f.pixels, f.width, f.height);
            }
            g.frames.push_back(std::move(f));
        } else {
            throw std::runtime_error("unknown GIF block");
        }
    }
}

class Banner : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_THROW(gif = parseGif(readResource("banner.gif"))); }
    Gif gif;
};

TEST_F(Banner, Is200By60WithA64ColourTableWhoseFirstEntryIsWhite) {
    EXPECT_EQ(gif.signature, "GIF89a"); // transparency needs the 89a format
    EXPECT_EQ(gif.width, 200u);
    EXPECT_EQ(gif.height, 60u);
    ASSERT_TRUE(gif.globalTable);
    EXPECT_EQ(gif.palette.size(), 64u);
    ASSERT_FALSE(gif.palette.empty());
    EXPECT_EQ(gif.palette[0], (Rgb{255, 255, 255}));
    EXPECT_TRUE(gif.trailer);
}

TEST_F(Banner, MakesEntryZeroTransparent) {
    EXPECT_EQ(gif.graphicControls, 1);
    EXPECT_TRUE(gif.transparentFlag);
    EXPECT_EQ(gif.transparentIndex, 0);
}

TEST_F(Banner, IsOneFullSizeFrameInTheGlobalColours) {
    ASSERT_EQ(gif.frames.size(), 1u);
    const Frame& f = gif.frames[0];
    EXPECT_EQ(f.left, 0u);
    EXPECT_EQ(f.top, 0u);
    EXPECT_EQ(f.width, 200u);
    EXPECT_EQ(f.height, 60u);
    EXPECT_FALSE(f.localTable);
    ASSERT_EQ(f.pixels.size(), 200u * 60u);
    for (std::uint8_t p : f.pixels) {
        ASSERT_LT(p, gif.palette.size());
    }
}

// The window's colour must show around the drawing, the wave sits at the left
// and the blue title at the right.
TEST_F(Banner, DrawsRedMotifLeftAndBlueTitleRightOnATransparentMargin) {
    ASSERT_EQ(gif.frames.size(), 1u);
    const Bytes& px = gif.frames[0].pixels;
    ASSERT_EQ(px.size(), 200u * 60u);
    ASSERT_EQ(gif.palette.size(), 64u);
    int redLeft = 0, redElsewhere = 0, blueRight = 0;
    for (unsigned y = 0; y < 60; ++y) {
        for (unsigned x = 0; x < 200; ++x) {
            const std::uint8_t i = px[y * 200 + x];
            if (x == 0 || y == 0 || x == 199 || y == 59) {
                EXPECT_EQ(i, 0) << "edge pixel " << x << "," << y;
            }
            const Rgb& c = gif.palette[i];
            const bool red = c[0] > c[2] + 100, blue = c[2] > c[0] + 100;
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

// ---- PNG and ICO ----

std::uint32_t crc32(const Bytes& b, std::size_t from, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < from + n; ++i) {
        c ^= b[i];
        for (int k = 0; k < 8; ++k) {
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
    }
    return ~c;
}

struct Png {
    unsigned width = 0, height = 0, bitDepth = 0, colourType = 0;
    std::size_t paletteEntries = 0;
    Bytes alphas; // tRNS contents
    bool hasTrns = false, trnsBeforeData = false, crcsGood = true, ends = false;
};

const std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

Png parsePng(const Bytes& b) {
    if (b.size() < 8 || !std::equal(kPngSignature.begin(), kPngSignature.end(), b.begin())) {
        throw std::runtime_error("not a PNG");
    }
    Png p;
    bool seenData = false;
    for (std::size_t pos = 8; pos < b.size() && !p.ends;) {
        const std::uint32_t n = be32(b, pos);
        const std::string type(b.begin() + pos + 4, b.begin() + pos + 8);
        if (pos + 12 + n > b.size()) {
            throw std::runtime_error("PNG chunk overruns the file");
        }
        p.crcsGood = p.crcsGood && crc32(b, pos + 4, n + 4) == be32(b, pos + 8 + n);
        const std::size_t body = pos + 8;
        if (type == "IHDR") {
            p.width = be32(b, body);
            p.height = be32(b, body + 4);
            p.bitDepth = at(b, body + 8);
            p.colourType = at(b, body + 9);
        } else if (type == "PLTE") {
            p.paletteEntries = n / 3;
        } else if (type == "tRNS") {
            p.hasTrns = true;
            p.trnsBeforeData = !seenData;
            p.alphas.assign(b.begin() + body, b.begin() + body + n);
        } else if (type == "IDAT") {
            seenData = true;
        } else if (type == "IEND") {
            p.ends = true;
        }
        pos += 12 + n;
    }
    return p;
}

// A palette PNG of at most 16 colours whose palette has a see-through entry.
void expectSixteenColourIcon(const Png& p, unsigned size) {
    EXPECT_TRUE(p.crcsGood);
    EXPECT_TRUE(p.ends);
    EXPECT_EQ(p.width, size);
    EXPECT_EQ(p.height, size);
    EXPECT_EQ(p.colourType, 3u);
    EXPECT_LE(p.bitDepth, 4u);
    EXPECT_GE(p.paletteEntries, 2u);
    EXPECT_LE(p.paletteEntries, 16u);
    ASSERT_TRUE(p.hasTrns);
    EXPECT_TRUE(p.trnsBeforeData);
    EXPECT_LE(p.alphas.size(), p.paletteEntries);
    EXPECT_NE(std::find(p.alphas.begin(), p.alphas.end(), 0), p.alphas.end())
        << "no fully transparent palette entry";
}

struct IconFile {
    const char* name;
    unsigned size;
};

void PrintTo(const IconFile& f, std::ostream* os) {
    *os << f.name;
}

class IconPng : public ::testing::TestWithParam<IconFile> {};

TEST_P(IconPng, IsASixteenColourPaletteImageWithTransparency) {
    Png p;
    ASSERT_NO_THROW(p = parsePng(readResource(GetParam().name)));
    expectSixteenColourIcon(p, GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconPng,
                         ::testing::Values(IconFile{"icon16.png", 16}, IconFile{"icon32.png", 32},
                                           IconFile{"icon48.png", 48}, IconFile{"icon64.png", 64},
                                           IconFile{"icon128.png", 128}),
                         [](const auto& info) { return std::to_string(info.param.size); });

TEST(AppIco, HoldsThe16And32PixelIcons) {
    Bytes ico;
    ASSERT_NO_THROW(ico = readResource("app.ico"));
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(le16(ico, 0), 0u);
    EXPECT_EQ(le16(ico, 2), 1u); // 1 = icon, 2 = cursor
    ASSERT_EQ(le16(ico, 4), 2u);
    const std::array<unsigned, 2> sizes{16, 32};
    std::size_t previousEnd = 6 + 16 * 2;
    for (std::size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(sizes[k]);
        const std::size_t e = 6 + 16 * k;
        EXPECT_EQ(at(ico, e), sizes[k]);
        EXPECT_EQ(at(ico, e + 1), sizes[k]);
        const std::uint32_t length = le32(ico, e + 8), offset = le32(ico, e + 12);
        ASSERT_GE(offset, previousEnd) << "entries overlap";
        ASSERT_LE(std::size_t(offset) + length, ico.size());
        previousEnd = offset + length;
        const Bytes image(ico.begin() + offset, ico.begin() + offset + length);
        if (image.size() >= 8 &&
            std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin())) {
            Png p;
            ASSERT_NO_THROW(p = parsePng(image));
            expectSixteenColourIcon(p, sizes[k]);
        } else {
            // A bitmap entry: its header gives the height of image and mask.
            EXPECT_EQ(le32(image, 0), 40u);
            EXPECT_EQ(le32(image, 4), sizes[k]);
            EXPECT_EQ(le32(image, 8), 2 * sizes[k]);
            EXPECT_LE(le16(image, 14), 4u) << "more than 16 colours";
        }
    }
}

} // namespace
