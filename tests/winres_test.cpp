// Compiles the Windows resource script with the cross resource compiler and
// reads the compiled .res back: the version record the file properties show
// and the icon group that Explorer and the taskbar use.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kRtIcon = 3, kRtGroupIcon = 14, kRtVersion = 16;
constexpr unsigned kChinesePrc = 0x0804;

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint8_t at(const Bytes& b, std::size_t i) {
    if (i >= b.size()) {
        throw std::runtime_error("data ends early");
    }
    return b[i];
}
unsigned le16(const Bytes& b, std::size_t i) {
    return at(b, i) | at(b, i + 1) << 8;
}
std::uint32_t le32(const Bytes& b, std::size_t i) {
    return le16(b, i) | le16(b, i + 2) << 16;
}
std::size_t align4(std::size_t n) {
    return (n + 3) & ~std::size_t(3);
}

// NUL-terminated UTF-16 at pos; pos ends after the terminator.
std::u16string wideString(const Bytes& b, std::size_t& pos) {
    std::u16string s;
    for (unsigned c = le16(b, pos); c != 0; c = le16(b, pos)) {
        s.push_back(char16_t(c));
        pos += 2;
    }
    pos += 2;
    return s;
}

// ---- .res file: a list of resources, each a header and its data ----

struct Resource {
    std::optional<unsigned> typeId; // ordinal type, or none for a named type
    std::optional<unsigned> nameId;
    unsigned language = 0;
    Bytes data;
};

// A type or name field: 0xFFFF and an ordinal, or a UTF-16 string.
std::optional<unsigned> idField(const Bytes& b, std::size_t& pos) {
    if (le16(b, pos) == 0xFFFF) {
        const unsigned id = le16(b, pos + 2);
        pos += 4;
        return id;
    }
    wideString(b, pos);
    return std::nullopt;
}

std::vector<Resource> parseRes(const Bytes& b) {
    std::vector<Resource> list;
    std::size_t pos = 0;
    while (pos < b.size()) {
        const std::size_t start = pos;
        const std::uint32_t dataSize = le32(b, pos), headerSize = le32(b, pos + 4);
        pos += 8;
        Resource r;
        r.typeId = idField(b, pos);
        r.nameId = idField(b, pos);
        pos = align4(pos);
        r.language = le16(b, pos + 6); // after DataVersion and MemoryFlags
        const std::size_t data = start + headerSize;
        if (headerSize < 32 || data + dataSize > b.size()) {
            throw std::runtime_error("bad resource header");
        }
        r.data.assign(b.begin() + data, b.begin() + data + dataSize);
        pos = align4(data + dataSize);
        // The file opens with an empty resource that only marks the format.
        if (start != 0) {
            list.push_back(std::move(r));
        }
    }
    return list;
}

// ---- VERSIONINFO: a tree of blocks, each with a key, a value and children ----

struct Block {
    std::u16string key;
    bool text = false;
    Bytes value; // binary value, or the UTF-16 bytes of a text value without NUL
    std::vector<Block> children;

    // Keys compare without regard to ASCII case, as Windows looks them up.
    const Block* child(std::u16string_view name) const {
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
        for (const Block& c : children) {
            if (std::equal(c.key.begin(), c.key.end(), name.begin(), name.end(),
                           [&](char16_t a, char16_t b) { return lower(a) == lower(b); })) {
                return &c;
            }
        }
        return nullptr;
    }
    std::u16string textValue() const {
        std::u16string s;
        for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
            s.push_back(char16_t(value[i] | value[i + 1] << 8));
        }
        return s;
    }
};

Block parseBlock(const Bytes& b, std::size_t pos) {
    const std::size_t start = pos, end = start + le16(b, pos);
    const unsigned valueLength = le16(b, pos + 2);
    Block block;
    block.text = le16(b, pos + 4) == 1;
    pos += 6;
    block.key = wideString(b, pos);
    pos = align4(pos);
    if (end > b.size() || end < pos) {
        throw std::runtime_error("bad version block length");
    }
    if (block.text && valueLength > 0) {
        // The length counts UTF-16 units with the terminator; stop at the NUL.
        std::size_t p = pos;
        const std::u16string value = wideString(b, p);
        if (value.size() + 1 != valueLength) {
            throw std::runtime_error("text value length does not match");
        }
        block.value.assign(b.begin() + pos, b.begin() + pos + 2 * value.size());
        pos += 2 * valueLength;
    } else {
        block.value.assign(b.begin() + pos, b.begin() + pos + valueLength);
        pos += valueLength;
    }
    for (pos = align4(pos); pos < end; pos = align4(pos)) {
        block.children.push_back(parseBlock(b, pos));
        pos += le16(b, pos);
    }
    return block;
}

// "1.0.0.0" as the two 32-bit halves of a fixed version, and the short
// "major.minor" form with a two-digit minor that the string table carries.
struct ProjectVersion {
    std::uint32_t ms = 0, ls = 0;
    std::u16string shortForm;
};

ProjectVersion projectVersion() {
    unsigned part[4] = {};
    if (std::sscanf(OSC_VERSION, "%u.%u.%u.%u", &part[0], &part[1], &part[2], &part[3]) != 4) {
        throw std::runtime_error("project version is not four numbers");
    }
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", part[0], part[1]);
    return {part[0] << 16 | part[1], part[2] << 16 | part[3],
            std::u16string(text, text + std::strlen(text))};
}

class WindowsResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto out = std::filesystem::path(::testing::TempDir()) / "oscillator-calculator.res";
        std::filesystem::remove(out);
        // Debian's cross binutils have no cross preprocessor; the host's does.
        const std::string command = std::string("\"") + OSC_WINDRES +
                                    "\" --preprocessor=cpp -O res \"" + OSC_RC_FILE + "\" -o \"" +
                                    out.string() + "\"";
        if (std::system(command.c_str()) != 0) {
            compileError_ = "failed: " + command;
            return;
        }
        resources_ = parseRes(readFile(out));
    }

    void SetUp() override { ASSERT_TRUE(compileError_.empty()) << compileError_; }

    static std::vector<const Resource*> ofType(unsigned type) {
        std::vector<const Resource*> found;
        for (const Resource& r : resources_) {
            if (r.typeId == type) {
                found.push_back(&r);
            }
        }
        return found;
    }

    static Block versionRecord() {
        const auto found = ofType(kRtVersion);
        if (found.size() != 1) {
            throw std::runtime_error("expected one version record");
        }
        return parseBlock(found[0]->data, 0);
    }

    static inline std::vector<Resource> resources_;
    static inline std::string compileError_;
};

TEST_F(WindowsResources, EveryResourceIsChinesePrc) {
    ASSERT_FALSE(resources_.empty());
    for (const Resource& r : resources_) {
        EXPECT_EQ(r.language, kChinesePrc) << "resource type " << r.typeId.value_or(0);
    }
}

TEST_F(WindowsResources, FixedVersionIsTheProjectVersion) {
    Block root;
    ASSERT_NO_THROW(root = versionRecord());
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");
    ASSERT_EQ(root.value.size(), 52u); // VS_FIXEDFILEINFO
    const Bytes& f = root.value;
    EXPECT_EQ(le32(f, 0), 0xFEEF04BDu); // signature
    const ProjectVersion v = projectVersion();
    EXPECT_EQ(le32(f, 8), v.ms) << "file version, high half";
    EXPECT_EQ(le32(f, 12), v.ls) << "file version, low half";
    EXPECT_EQ(le32(f, 16), v.ms) << "product version, high half";
    EXPECT_EQ(le32(f, 20), v.ls) << "product version, low half";
    EXPECT_EQ(le32(f, 32), 0x40004u) << "FILEOS: VOS_NT_WINDOWS32";
    EXPECT_EQ(le32(f, 36), 1u) << "FILETYPE: VFT_APP";
}

TEST_F(WindowsResources, StringTableIsChineseUnicodeWithShortVersions) {
    Block root;
    ASSERT_NO_THROW(root = versionRecord());
    const Block* info = root.child(u"StringFileInfo");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->children.size(), 1u);
    const Block& table = info->children[0];
    EXPECT_EQ(table.key, u"080404B0"); // language 0804, code page 04B0 = 1200
    const std::u16string shortForm = projectVersion().shortForm;
    EXPECT_EQ(shortForm, u"1.00");
    const std::map<std::u16string, std::u16string> expected{
        {u"FileVersion", shortForm},
        {u"ProductVersion", shortForm},
        {u"ProductName", u"振荡电路计算器"},
        {u"FileDescription", u"振荡电路计算器"},
        {u"OriginalFilename", u"oscillator-calculator.exe"},
    };
    for (const auto& [key, value] : expected) {
        const Block* entry = table.child(key);
        ASSERT_NE(entry, nullptr) << std::string(key.begin(), key.end());
        EXPECT_TRUE(entry->text);
        EXPECT_EQ(entry->textValue(), value) << std::string(key.begin(), key.end());
    }
}

TEST_F(WindowsResources, TranslationIsChinesePrcUnicode) {
    Block root;
    ASSERT_NO_THROW(root = versionRecord());
    const Block* vars = root.child(u"VarFileInfo");
    ASSERT_NE(vars, nullptr);
    const Block* translation = vars->child(u"Translation");
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(translation->value.size(), 4u);
    EXPECT_EQ(le16(translation->value, 0), kChinesePrc);
    EXPECT_EQ(le16(translation->value, 2), 1200u);
}

// The group names its images by id; each must be there and be the same
// bytes as the matching image of the shipped app.ico.
TEST_F(WindowsResources, IconGroupHoldsThe16And32PixelImagesOfAppIco) {
    const auto groups = ofType(kRtGroupIcon);
    ASSERT_EQ(groups.size(), 1u);
    const Bytes& g = groups[0]->data;
    EXPECT_EQ(groups[0]->nameId, 1u) << "the program icon has the lowest id";
    EXPECT_EQ(le16(g, 2), 1u); // 1 = icon
    const unsigned count = le16(g, 4);

    const Bytes ico = readFile(std::filesystem::path(OSC_RESOURCES_DIR) / "app.ico");
    std::map<unsigned, Bytes> icoImages; // by width
    for (unsigned k = 0; k < le16(ico, 4); ++k) {
        const std::size_t e = 6 + 16 * k;
        const std::uint32_t length = le32(ico, e + 8), offset = le32(ico, e + 12);
        ASSERT_LE(std::size_t(offset) + length, ico.size());
        icoImages[at(ico, e)] = Bytes(ico.begin() + offset, ico.begin() + offset + length);
    }

    std::vector<unsigned> widths;
    for (unsigned k = 0; k < count; ++k) {
        const std::size_t e = 6 + 14 * k;
        const unsigned width = at(g, e), height = at(g, e + 1), id = le16(g, e + 12);
        SCOPED_TRACE(width);
        widths.push_back(width);
        EXPECT_EQ(height, width);
        const auto images = ofType(kRtIcon);
        const auto image = std::find_if(images.begin(), images.end(),
                                        [id](const Resource* r) { return r->nameId == id; });
        ASSERT_NE(image, images.end()) << "no icon image with id " << id;
        EXPECT_EQ((*image)->data.size(), le32(g, e + 8));
        EXPECT_EQ((*image)->data, icoImages[width]);
    }
    std::sort(widths.begin(), widths.end());
    EXPECT_EQ(widths, (std::vector<unsigned>{16, 32}));
}

} // namespace
