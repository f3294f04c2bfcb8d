// config.ini reader on arbitrary bytes. A file it accepts with all 17 pairs must
// come back unchanged through the writer and the reader.
#include <cstdlib>

#include "model/SettingsModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::array<ProfileSetting, kIniPairCount> pairs{};
    int count = 0;
    const FileResult r = ParseSettingsData(bytes, pairs, count);
    if (!r || count != kIniPairCount) return 0;

    const std::u16string text = FormatSettingsText(pairs);
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    std::array<ProfileSetting, kIniPairCount> again{};
    int againCount = 0;
    if (!ParseSettingsData(out, again, againCount) || againCount != count || again != pairs) std::abort();
    return 0;
}
