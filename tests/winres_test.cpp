// Compiles the Windows resource script with the cross resource compiler and
// reads the result back as the compiler decompiles it (-O rc): the version
// record the file properties show, the icon group that Explorer and the
// taskbar use, and the application manifest.

#include "config.h"

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The licence's name (LICENSE's first line) and its copyright line.
struct Licence {
    std::string name, copyright;
};

Licence licence() {
    std::ifstream in(OSC_LICENSE_FILE);
    Licence result;
    std::getline(in, result.name);
    for (std::string line; result.copyright.empty() && std::getline(in, line);) {
        if (line.rfind("Copyright ", 0) == 0) {
            result.copyright = line;
        }
    }
    return result;
}

// "1, 0, 0, 0" for the fixed version, and the short "major.minor" form with a
// two-digit minor that the string table carries.
struct ProjectVersion {
    std::string commas, shortForm;
};

ProjectVersion projectVersion() {
    unsigned part[4] = {};
    if (std::sscanf(OSC_VERSION, "%u.%u.%u.%u", &part[0], &part[1], &part[2], &part[3]) != 4) {
        return {};
    }
    char commas[64], shortForm[16];
    std::snprintf(commas, sizeof commas, "%u, %u, %u, %u", part[0], part[1], part[2], part[3]);
    std::snprintf(shortForm, sizeof shortForm, "%u.%02u", part[0], part[1]);
    return {commas, shortForm};
}

// A decompiled string: "text" as is, L"\x632f..." with its UTF-16 escapes
// turned into UTF-8.
std::string unquote(const std::string& literal) {
    if (literal.rfind("L\"", 0) != 0) {
        return literal.substr(1, literal.size() - 2);
    }
    std::u16string wide;
    const std::regex escape(R"(\\x([0-9a-fA-F]{1,4})|(.))");
    const std::string body = literal.substr(2, literal.size() - 3);
    for (auto it = std::sregex_iterator(body.begin(), body.end(), escape);
         it != std::sregex_iterator(); ++it) {
        wide += (*it)[1].matched ? char16_t(std::stoul((*it)[1], nullptr, 16))
                                 : char16_t((*it)[2].str()[0]);
    }
    return QString::fromUtf16(wide.data(), qsizetype(wide.size())).toStdString();
}

class WindowsResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Per process: ctest may run several of these tests at once.
        const QTemporaryDir tmp;
        const auto dir = std::filesystem::path(tmp.path().toStdString());
        const auto rc = dir / "oscillator-calculator-decompiled.rc";
        const auto res = dir / "oscillator-calculator.res";
        // Debian's cross binutils have no cross preprocessor; the host's does.
        const std::string windres = std::string("\"") + OSC_WINDRES + "\" --preprocessor=cpp ";
        for (const std::string& command :
             {windres + "-O rc \"" + OSC_RC_FILE + "\" -o \"" + rc.string() + "\"",
              windres + "-O res \"" + OSC_RC_FILE + "\" -o \"" + res.string() + "\""}) {
            if (std::system(command.c_str()) != 0) {
                compileError_ = "failed: " + command;
                return;
            }
        }
        script_ = readFile(rc);
        res_ = readFile(res);
    }

    void SetUp() override {
        ASSERT_TRUE(compileError_.empty()) << compileError_;
        ASSERT_FALSE(script_.empty());
    }

    // The decompiled version record, from "1 VERSIONINFO" to its last END.
    static std::string versionRecord() {
        const std::size_t start = script_.find("\n1 VERSIONINFO\n");
        return start == std::string::npos ? std::string() : script_.substr(start);
    }

    // The string table's VALUE lines, key to text.
    static std::map<std::string, std::string> stringValues() {
        std::map<std::string, std::string> values;
        const std::string record = versionRecord();
        const std::regex value(R"re(VALUE "(\w+)", ((?:L?"[^"\n]*")))re");
        for (auto it = std::sregex_iterator(record.begin(), record.end(), value);
             it != std::sregex_iterator(); ++it) {
            values[(*it)[1]] = unquote((*it)[2]);
        }
        return values;
    }

    static inline std::string script_, res_, compileError_;
};

// The decompiler writes a LANGUAGE line before the first resource and again
// wherever the language changes.
TEST_F(WindowsResources, EveryResourceIsChinesePrc) {
    const std::regex language(R"(\nLANGUAGE (\d+), (\d+)\n)");
    std::vector<std::string> seen;
    for (auto it = std::sregex_iterator(script_.begin(), script_.end(), language);
         it != std::sregex_iterator(); ++it) {
        seen.push_back((*it)[1].str() + "," + (*it)[2].str());
    }
    EXPECT_EQ(seen, std::vector<std::string>{"4,2"}) << script_; // LANG_CHINESE, SIMPLIFIED
    EXPECT_LT(script_.find("\nLANGUAGE "), script_.find(" MOVEABLE"));
}

TEST_F(WindowsResources, FixedVersionIsTheProjectVersion) {
    const std::string record = versionRecord();
    ASSERT_FALSE(record.empty()) << "no version record with id 1 (VS_VERSION_INFO)";
    EXPECT_EQ(script_.find("VERSIONINFO"), script_.rfind("VERSIONINFO")) << "more than one";
    const ProjectVersion v = projectVersion();
    EXPECT_EQ(v.commas, "1, 0, 0, 0");
    EXPECT_NE(record.find("\n FILEVERSION " + v.commas + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find("\n PRODUCTVERSION " + v.commas + "\n"), std::string::npos);
    EXPECT_NE(record.find("\n FILEOS 0x40004\n"), std::string::npos) << "VOS_NT_WINDOWS32";
    EXPECT_NE(record.find("\n FILETYPE 0x1\n"), std::string::npos) << "VFT_APP";
}

TEST_F(WindowsResources, StringTableIsChineseUnicodeWithShortVersions) {
    const std::string record = versionRecord();
    // One table: language 0804, code page 04B0 = 1200.
    const std::regex table(R"re(BLOCK "([0-9A-Fa-f]{8})")re");
    std::vector<std::string> tables;
    for (auto it = std::sregex_iterator(record.begin(), record.end(), table);
         it != std::sregex_iterator(); ++it) {
        tables.push_back((*it)[1]);
    }
    EXPECT_EQ(tables, std::vector<std::string>{"080404B0"});

    const std::string shortForm = projectVersion().shortForm;
    EXPECT_EQ(shortForm, "1.00");
    const Licence mit = licence();
    EXPECT_EQ(mit.name, "MIT License");
    EXPECT_FALSE(mit.copyright.empty()) << "no copyright line in LICENSE";
    const std::map<std::string, std::string> values = stringValues();
    const std::map<std::string, std::string> expected{
        {"FileVersion", shortForm},
        {"ProductVersion", shortForm},
        {"ProductName", "振荡电路计算器"},
        {"FileDescription", "振荡电路计算器"},
        {"OriginalFilename", "oscillator-calculator.exe"},
        {"LegalCopyright", mit.copyright + ". " + mit.name},
    };
    for (const auto& [key, value] : expected) {
        ASSERT_EQ(values.count(key), 1u) << key;
        EXPECT_EQ(values.at(key), value) << key;
    }
}

TEST_F(WindowsResources, TranslationIsChinesePrcUnicode) {
    const std::smatch found = [] {
        static const std::string record = versionRecord();
        std::smatch m;
        std::regex_search(record, m, std::regex(R"(VALUE "Translation", (\w+), (\w+)\n)"));
        return m;
    }();
    ASSERT_FALSE(found.empty()) << "no Translation";
    EXPECT_EQ(std::stoul(found[1], nullptr, 0), 0x0804u);
    EXPECT_EQ(std::stoul(found[2], nullptr, 0), 1200u);
}

// The group names its images by id: icon 1 is the program's (the lowest id),
// and it lists every image of the shipped app.ico, byte for byte.
TEST_F(WindowsResources, IconGroupHoldsEveryImageOfAppIco) {
    const std::regex group(R"(\n(\d+) 14 /\* RT_GROUP_ICON \*/)");
    std::smatch g;
    ASSERT_TRUE(std::regex_search(script_, g, group)) << script_;
    EXPECT_EQ(g[1], "1") << "the program icon has the lowest id";
    EXPECT_EQ(std::distance(std::sregex_iterator(script_.begin(), script_.end(), group),
                            std::sregex_iterator()),
              1);

    // "width height colors pad", planes, bits, bytes, index; sizes in octal.
    const std::regex element(
        R"re("\\(\d{3})\\(\d{3})\\\d{3}\\\d{3}", \d+, \d+, (0x[0-9a-f]+)L, (\d+))re");
    const std::string groupText = g.suffix().str().substr(0, g.suffix().str().find("\nEND"));
    const std::string ico = readFile(std::filesystem::path(OSC_RESOURCES_DIR) / "app.ico");
    // The ICO's directory: a 16-byte entry per image after the 6-byte header,
    // with the width first and the length and offset last.
    const auto le32 = [&](std::size_t i) {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k) {
            v = v << 8 | static_cast<unsigned char>(ico.at(i + k));
        }
        return v;
    };
    // A width byte of 0 stands for 256, in the ICO and in the group alike.
    const auto width = [](unsigned byte) { return byte == 0 ? 256u : byte; };
    std::map<unsigned, std::string> icoImages;
    for (std::size_t e = 6;
         e + 16 <= ico.size() && icoImages.size() < static_cast<unsigned char>(ico.at(4));
         e += 16) {
        icoImages[width(static_cast<unsigned char>(ico[e]))] =
            ico.substr(le32(e + 12), le32(e + 8));
    }
    ASSERT_FALSE(icoImages.empty());
    std::vector<unsigned> widths, icoWidths;
    for (auto it = std::sregex_iterator(groupText.begin(), groupText.end(), element);
         it != std::sregex_iterator(); ++it) {
        const unsigned w = width(std::stoul((*it)[1], nullptr, 8));
        const unsigned h = width(std::stoul((*it)[2], nullptr, 8));
        const std::string id = (*it)[4];
        SCOPED_TRACE(w);
        widths.push_back(w);
        EXPECT_EQ(h, w);
        EXPECT_NE(script_.find("\n" + id + " 3 /* RT_ICON */"), std::string::npos)
            << "no icon image with id " << id;
        ASSERT_EQ(icoImages.count(w), 1u);
        const std::string& image = icoImages[w];
        EXPECT_EQ(std::stoul((*it)[3], nullptr, 16), image.size());
        EXPECT_NE(res_.find(image), std::string::npos) << "not app.ico's image";
    }
    std::sort(widths.begin(), widths.end());
    for (const auto& [w, image] : icoImages) {
        icoWidths.push_back(w);
    }
    EXPECT_EQ(widths, icoWidths);
}

// Windows reads an executable's manifest from resource 24 (RT_MANIFEST)
// number 1. The script carries the shared manifest file unchanged; what
// Windows makes of it is checked on the built osccalc.exe.
TEST_F(WindowsResources, ManifestIsResource1HoldingTheManifestFile) {
    const std::regex manifest(R"(\n(\d+) 24 /\* RT_MANIFEST \*/)");
    std::vector<std::string> ids;
    for (auto it = std::sregex_iterator(script_.begin(), script_.end(), manifest);
         it != std::sregex_iterator(); ++it) {
        ids.push_back((*it)[1]);
    }
    EXPECT_EQ(ids, std::vector<std::string>{"1"}) << script_;
    const std::string file = readFile(OSC_MANIFEST_FILE);
    ASSERT_FALSE(file.empty());
    EXPECT_NE(res_.find(file), std::string::npos) << "not the manifest file, byte for byte";
}

} // namespace
