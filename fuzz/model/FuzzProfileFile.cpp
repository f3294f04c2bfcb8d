// Profile file reader on arbitrary bytes. A record it accepts must come back
// unchanged through the writer and the reader.
#include <cstdlib>

#include "model/SettingsModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ProfileRecord record;
    if (!ParseProfileData(bytes, record)) return 0;

    const std::u16string text = FormatProfileText(record);
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    ProfileRecord again;
    if (!ParseProfileData(out, again) || !(again == record)) std::abort();
    return 0;
}
