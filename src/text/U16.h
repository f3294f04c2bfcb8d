// UTF-16 text helpers shared by every file format: conversion to and from UTF-8,
// the lenient number parsers the file readers use, and printf-style hex formatting.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tarvik {

// UTF-8 <-> UTF-16. Malformed input becomes U+FFFD; nothing throws.
std::u16string FromUtf8(std::string_view s);
std::string ToUtf8(std::u16string_view s);

// True when the text holds a line feed or a carriage return. Names typed by
// the user are refused with one.
bool HasLineBreak(std::u16string_view s);

// True when the text reads back as it was written as (the end of) one line of
// the settings, profile or library files: no line feed, and no carriage return
// at its end (the reader takes that for a part of the line end).
bool FitsOnALine(std::u16string_view s);

// Paths are kept as UTF-16 text in the settings files and converted here.
std::filesystem::path PathFromU16(std::u16string_view s);
std::u16string PathToU16(const std::filesystem::path& p);

// Base-10 parse in the manner of wcstol: leading blanks, an optional sign, then
// digits up to the first non-digit. Text that is no number reads as 0; values
// beyond the range saturate.
std::int64_t ParseDec(std::u16string_view s);

// Base-16 parse in the manner of wcstoul(…, 16): leading blanks, an optional
// "0x"/"0X" prefix, then hex digits up to the first non-digit. No number reads as 0;
// values beyond 64 bits saturate.
std::uint64_t ParseHex(std::u16string_view s);

// The value of one hexadecimal digit (either case), or -1.
int HexDigitValue(char16_t c);

// The hex digits of a fixed-width field: at most `width` characters from `pos`
// (fewer when the text ends), parsed as ParseHex without the blank/prefix rules:
// parsing stops at the first non-hex character.
std::uint32_t HexField(std::u16string_view s, std::size_t pos, std::size_t width);

// "%.NX": upper-case hex, zero-padded to at least `digits` digits.
std::u16string Hex(std::uint64_t v, int digits);
void AppendHex(std::u16string& out, std::uint64_t v, int digits);
// Each byte as "%.2X", in order (the files' byte runs: steps, actions, colours).
void AppendHexBytes(std::u16string& out, std::span<const std::uint8_t> bytes);
// "0x%4X": "0x" and at least four upper-case hex digits, padded on the left with blanks.
std::u16string HexBlank4(std::uint32_t v);
// "%d" / "%u".
std::u16string Dec(std::int64_t v);

} // namespace tarvik
