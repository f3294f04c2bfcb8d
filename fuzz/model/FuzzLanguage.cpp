// Language file and selector readers on arbitrary bytes.
#include "text/Language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    LanguageTable table;
    table.LoadText(bytes, 1.5);
    for (int i = -1; i <= LanguageTable::kSize; ++i) (void)table.String(i);
    (void)LanguageTable::SelectorCode(bytes);
    return 0;
}
