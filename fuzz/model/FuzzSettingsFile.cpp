// config.ini reader on arbitrary bytes. A file it accepts has all 17 pairs and
// must come back unchanged through the writer and the reader; and the same
// file with CR LF line ends reads exactly as with LF.
#include <cstdlib>

#include "model/SettingsModel.h"

#include "CarriageReturns.h"

namespace {

using namespace tarvik;

struct Parsed {
    FileResult result;
    std::array<ProfileSetting, kIniPairCount> pairs{};
    int count = 0;
};

Parsed Parse(std::string_view bytes) {
    Parsed p;
    p.result = ParseSettingsData(bytes, p.pairs, p.count);
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Parsed first = Parse(bytes);
    if (const auto crlf = WithCarriageReturns(bytes)) {
        const Parsed again = Parse(*crlf);
        if (again.result.error != first.result.error || again.result.line != first.result.line ||
            again.count != first.count || again.pairs != first.pairs)
            std::abort();
    }
    if (!first.result) return 0;
    if (first.count != kIniPairCount) std::abort(); // an accepted file has every pair

    const std::u16string text = FormatSettingsText(first.pairs);
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    const Parsed written = Parse(out);
    if (!written.result || written.count != first.count || written.pairs != first.pairs) std::abort();
    return 0;
}
