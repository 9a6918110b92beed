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

// Every match of pattern in text, each as its groups joined by ",".
std::vector<std::string> allMatches(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
         ++it) {
        std::string groups;
        for (std::size_t i = 1; i < it->size(); ++i) {
            groups += (i > 1 ? "," : "") + (*it)[i].str();
        }
        found.push_back(groups);
    }
    return found;
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

    static inline std::string script_, res_, compileError_;
};

// What the decompiled script lists, matched line by line: each resource once,
// under its id, all in one language.
TEST_F(WindowsResources, ListsEachRecordOnceWithItsIdAndFields) {
    EXPECT_STREQ(OSC_VERSION, "1.0.0.0") << "the record below carries the program's version";
    struct Row {
        const char* what;
        const char* pattern;
        std::vector<std::string> found;
    };
    const Row rows[] = {
        // The decompiler writes LANGUAGE again wherever the language changes.
        {"language, Chinese (PRC)", R"(\nLANGUAGE (\d+), (\d+)\n)", {"4,2"}},
        {"version record, VS_VERSION_INFO", R"(\n(\S+) VERSIONINFO\n)", {"1"}},
        {"file version", R"(\n FILEVERSION ([^\n]*)\n)", {"1, 0, 0, 0"}},
        {"product version", R"(\n PRODUCTVERSION ([^\n]*)\n)", {"1, 0, 0, 0"}},
        {"VOS_NT_WINDOWS32", R"(\n FILEOS (\w+)\n)", {"0x40004"}},
        {"VFT_APP", R"(\n FILETYPE (\w+)\n)", {"0x1"}},
        {"string table, Chinese (PRC) UTF-16", R"re(BLOCK "([0-9A-Fa-f]{8})")re", {"080404B0"}},
        {"translation, Chinese (PRC) UTF-16",
         R"(VALUE "Translation", (\w+), (\w+)\n)",
         {"0x804,1200"}},
        // Explorer and the taskbar take the lowest id.
        {"icon group", R"(\n(\d+) 14 /\* RT_GROUP_ICON \*/)", {"1"}},
        // Windows reads an executable's manifest from number 1.
        {"manifest", R"(\n(\d+) 24 /\* RT_MANIFEST \*/)", {"1"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(allMatches(script_, row.pattern), row.found) << row.what;
    }
    EXPECT_LT(script_.find("\nLANGUAGE "), script_.find(" MOVEABLE")) << "language comes late";
}

// The version strings are the short "major.minor" form with a two-digit minor.
TEST_F(WindowsResources, StringTableNamesTheProgramItsVersionAndLicence) {
    const Licence mit = licence();
    EXPECT_EQ(mit.name, "MIT License");
    EXPECT_FALSE(mit.copyright.empty()) << "no copyright line in LICENSE";
    std::map<std::string, std::string> values; // the VALUE lines, key to text
    for (const std::string& found : allMatches(script_, R"re(VALUE "(\w+)", (L?"[^"\n]*"))re")) {
        const std::size_t comma = found.find(',');
        values[found.substr(0, comma)] = unquote(found.substr(comma + 1));
    }
    const std::map<std::string, std::string> expected{
        {"FileVersion", "1.00"},
        {"ProductVersion", "1.00"},
        {"ProductName", "振荡电路计算器"},
        {"FileDescription", "振荡电路计算器"},
        {"OriginalFilename", "oscillator-calculator.exe"},
        {"LegalCopyright", mit.copyright + ". " + mit.name},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(values[key], value) << key;
    }
}

// The group names its images by id, and lists every image of the shipped
// app.ico, byte for byte.
TEST_F(WindowsResources, IconGroupHoldsEveryImageOfAppIco) {
    const std::size_t group = script_.find(" 14 /* RT_GROUP_ICON */");
    ASSERT_NE(group, std::string::npos) << script_;
    const std::string groupText = script_.substr(group, script_.find("\nEND", group) - group);
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

    // "width height colors pad", planes, bits, bytes, index; sizes in octal.
    const std::regex element(
        R"re("\\(\d{3})\\(\d{3})\\\d{3}\\\d{3}", \d+, \d+, (0x[0-9a-f]+)L, (\d+))re");
    std::vector<unsigned> widths, icoWidths;
    for (auto it = std::sregex_iterator(groupText.begin(), groupText.end(), element);
         it != std::sregex_iterator(); ++it) {
        const unsigned w = width(std::stoul((*it)[1], nullptr, 8));
        const std::string id = (*it)[4];
        SCOPED_TRACE(w);
        widths.push_back(w);
        EXPECT_EQ(width(std::stoul((*it)[2], nullptr, 8)), w) << "not square";
        EXPECT_NE(script_.find("\n" + id + " 3 /* RT_ICON */"), std::string::npos)
            << "no icon image with id " << id;
        ASSERT_EQ(icoImages.count(w), 1u);
        EXPECT_EQ(std::stoul((*it)[3], nullptr, 16), icoImages[w].size());
        EXPECT_NE(res_.find(icoImages[w]), std::string::npos) << "not app.ico's image";
    }
    std::sort(widths.begin(), widths.end());
    for (const auto& [w, image] : icoImages) {
        icoWidths.push_back(w);
    }
    EXPECT_EQ(widths, icoWidths);
}

// The script carries the shared manifest file unchanged; what Windows makes of
// it is checked on the built osccalc.exe.
TEST_F(WindowsResources, ManifestIsTheManifestFile) {
    const std::string file = readFile(OSC_MANIFEST_FILE);
    ASSERT_FALSE(file.empty());
    EXPECT_NE(res_.find(file), std::string::npos) << "not the manifest file, byte for byte";
}

} // namespace
