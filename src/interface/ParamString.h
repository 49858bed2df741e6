// Parameter strings: the flat "Name=Value;..." text of every request, reply and
// provider exchange. Positions are 1-based byte positions; 0 means not found.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorv {

constexpr char ParamSeparator = ';';
constexpr char ParamEquals = '=';

// Value of the first entry with that name (ASCII case ignored), unescaped; empty when
// the entry is absent or has an empty value.
std::string GetParamValue(std::string_view text, std::string_view name);

// The text with the first entry of that name holding value, added at the end when absent.
std::string SetParamValue(std::string_view text, std::string_view name, std::string_view value);

// '=' -> "&eq%", then ';' -> "&lim%".
std::string EscapeParamText(std::string_view text);
// "&eq%" -> '=', then "&lim%" -> ';' (case-sensitive).
std::string UnescapeParamText(std::string_view text);

// Position of pattern in text at or after start (a character boundary), ASCII letters
// folded; 0 when none. Double-byte characters of the host's text (util/TextCase.h) match
// only whole and exactly: a trail byte neither folds nor starts a match.
size_t PosNoCase(std::string_view pattern, std::string_view text, size_t start);

// Every occurrence of find (non-empty) replaced, left to right, without overlap.
std::string ReplaceAllText(std::string_view source, std::string_view find, std::string_view replacement);

}  // namespace qorv
