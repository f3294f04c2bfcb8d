// Profile file reader on arbitrary bytes. A record it accepts must come back
// unchanged through the writer and the reader; and the same file with CR LF
// line ends reads exactly as with LF.
#include <cstdlib>

#include "model/SettingsModel.h"
#include "text/StdioFileEx.h"

#include "CarriageReturns.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ProfileRecord record;
    const FileResult read = ParseProfileData(bytes, record);
    if (const auto crlf = WithCarriageReturns(bytes)) {
        ProfileRecord again;
        const FileResult second = ParseProfileData(*crlf, again);
        if (second.error != read.error || second.line != read.line || !(again == record)) std::abort();
    }
    if (!read) return 0;

    ProfileRecord again;
    if (!ParseProfileData(UnicodeFileBytes(FormatProfileText(record)), again) || !(again == record))
        std::abort();
    return 0;
}
