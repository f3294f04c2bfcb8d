// The rules the key=value files share (config.ini, the profile files, the
// language files): the "[Setting]" first line and the split of a line at its
// first "=".
#pragma once

#include <cstddef>
#include <string_view>

namespace tarvik {

inline constexpr std::u16string_view kSettingHeader = u"[Setting]";

// Why a first line is not exactly "[Setting]", or nullptr when it is. `read`
// is false when the file had no line at all.
const char* SettingHeaderProblem(bool read, std::u16string_view line);

// What a line needs around its first "=" (p), with n the line length.
enum class PairNeeds : unsigned char {
    Equals,       // 0 <= p <= n - 1: an "=" anywhere
    Name,         // 1 <= p: a non-empty name; the value may be empty
    Value,        // p < n - 1: a non-empty value; the name may be empty
    NameAndValue, // both
};

// Finds the first "=" of `line` into `p`. Returns why the line breaks `needs`
// ("no \"=\"", "empty name before \"=\"", "empty value after \"=\""), or nullptr.
const char* SplitPair(std::u16string_view line, PairNeeds needs, std::size_t& p);

} // namespace tarvik
