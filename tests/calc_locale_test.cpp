// The window calls setlocale; results must not change with the desktop's
// decimal separator. The test command generates de_DE.UTF-8 if it is missing;
// Windows has German and French built in.
#include "calc/calculate.h"
#include "calc/numtext.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace {

#ifdef _WIN32
// The C runtime's own names, then the names newer runtimes take.
constexpr const char* kCommaLocales[] = {"German_Germany.1252", "de-DE", "French_France.1252",
                                         "fr-FR"};
#else
constexpr const char* kCommaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
#endif

class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::setlocale(LC_ALL, nullptr);
        for (const char* name : kCommaLocales) {
            if (std::setlocale(LC_ALL, name)) {
                break;
            }
        }
        ASSERT_STREQ(std::localeconv()->decimal_point, ",")
            << "no comma-decimal locale; run: localedef -i de_DE -f UTF-8 de_DE.UTF-8";
    }
    void TearDown() override { std::setlocale(LC_ALL, previous_.c_str()); }

private:
    std::string previous_;
};

TEST_F(CommaLocale, ResultsKeepThePoint) {
    const calc::Answer a = calc::calculate(1, {"1", "1", "", ""});
    EXPECT_EQ(a.lines[calc::T], "T=6.2832ms");
    EXPECT_EQ(a.lines[calc::F], "f=0.159154570919277kHz");
}

TEST_F(CommaLocale, InputPointIsTheDecimalPoint) {
    EXPECT_EQ(calc::toNumber("1.5"), 1.5);
    EXPECT_EQ(calc::toText(2.5), "2.5");
    EXPECT_EQ(calc::calculate(4, {"1.5", "1.5", "1", ""}).lines[calc::T2], "T2=1.0395ms");
}

} // namespace
