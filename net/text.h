// SPDX-License-Identifier: MIT
#pragma once
// The program's text operations. Text is a GBK byte string: lengths and positions count bytes,
// positions are 1-based and a search that finds nothing gives -1. A byte of 0x80 or more starts
// a double-byte character; find, split, replace and the case operations step over such a pair
// as one character and never match at its second byte. left, right and middle count bytes and
// may cut a pair.

#include "base/text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marrowtune {

/// Position of the first occurrence of `sub` at or after `start`, or -1. A start below 1 counts
/// as 1, one beyond the end gives -1; an empty `sub` gives 1 when anything is left to search.
/// ignoreCase folds ASCII letters only.
int findText(std::string_view text, std::string_view sub, int start = 1, bool ignoreCase = false);
/// Position of the last occurrence of `sub`, or -1; case respected.
int findLastText(std::string_view text, std::string_view sub);
/// First n bytes; n <= 0 gives empty text.
Text leftText(std::string_view text, int n);
/// Last n bytes; n <= 0 gives empty text.
Text rightText(std::string_view text, int n);
/// n bytes from 1-based `start`; empty when start is outside the text or n <= 0.
Text middleText(std::string_view text, int start, int n);
/// Removes ASCII spaces and GBK full-width spaces (A1 A1) at both ends; tabs, CR, LF stay.
Text trimText(std::string_view text);
/// Removes every ASCII space and every full-width space.
Text removeAllSpaces(std::string_view text);
/// A to Z become a to z; double-byte characters are left alone.
Text toLowerText(std::string_view text);
/// Items between separators. An empty item between adjacent separators (or before a leading
/// one) stays; the remainder after the last separator is an item only when not empty; empty
/// text gives no items; an empty separator gives the whole text as one item.
std::vector<Text> splitText(std::string_view text, std::string_view separator);
/// Replaces every occurrence, left to right, without overlap; case respected.
Text replaceText(std::string_view text, std::string_view sub, std::string_view by);
/// Full-width characters become ASCII, then the leading decimal number is read (leading spaces
/// skipped, optional sign); no digits give 0.
int toInteger(std::string_view text);
/// The bytes up to, not including, the first zero byte.
Text bytesToText(const ByteBuffer& bytes);
/// The bytes of the text; empty text gives an empty buffer.
ByteBuffer textToBytes(std::string_view text);
/// Upper-case hexadecimal of a byte without leading zero (0x0A gives "A").
Text byteHex(std::uint8_t byte);

/// The text between the first `left` marker (searched from `start`, or from the beginning when
/// start < 1) and the first `right` marker after it; "#引号" in a marker stands for a double
/// quote. Markers are found ignoring ASCII case unless `caseSensitive`. Empty text when either
/// marker is missing.
Text textBetween(std::string_view text, std::string_view left, std::string_view right,
                 int start = 0, bool caseSensitive = false);
/// Percent-encodes `text` (its UTF-8 form when `toUtf8`); with `keepUnreserved` ASCII letters,
/// digits, "-" and "." stay as they are. Hex digits are upper case.
Text urlEncode(std::string_view text, bool keepUnreserved, bool toUtf8);
/// The exact UTF-8 form of a GBK text.
Text gbkToUtf8(std::string_view text);
/// Text in code page `codePage` to UTF-16.
std::u16string multiByteToWide(std::string_view text, CodePage codePage = CodePage::Utf8);
/// UTF-16 to text in code page `codePage`.
Text wideToMultiByte(std::u16string_view wide, CodePage codePage = CodePage::Ansi);

} // namespace marrowtune
