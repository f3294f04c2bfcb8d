#include "text/SettingLines.h"

namespace tarvik {

const char* SettingHeaderProblem(bool read, std::u16string_view line) {
    if (!read) return "the file is empty";
    if (line == kSettingHeader) return nullptr;
    if (line.size() == kSettingHeader.size() + 1 && line.starts_with(kSettingHeader) && line.back() == u'\r')
        return "not \"[Setting]\" (the line ends in a carriage return)";
    return "not \"[Setting]\"";
}

const char* SplitPair(std::u16string_view line, PairNeeds needs, std::size_t& p) {
    p = line.find(u'=');
    if (p == std::u16string_view::npos) return "no \"=\"";
    if ((needs == PairNeeds::Name || needs == PairNeeds::NameAndValue) && p == 0)
        return "empty name before \"=\"";
    if ((needs == PairNeeds::Value || needs == PairNeeds::NameAndValue) && p + 1 >= line.size())
        return "empty value after \"=\"";
    return nullptr;
}

} // namespace tarvik
