// The whole input is one text, any bytes at all, checked by calc::test.

#include "calc/numtext.h"
#include "fuzz/reference.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool expected = fuzzref::acceptable(text);
    fuzzref::require(calc::test(text) == expected,
                     expected ? "test rejects an acceptable text" : "test accepts a bad text",
                     text);
    if (expected) {
        // The number the calculation goes on with must be the text's own value.
        const double got = calc::toNumber(text);
        const double want = fuzzref::valueOf(text);
        fuzzref::require(got == want, "toNumber gives another value than the text's", text);
    }
    return 0;
}
