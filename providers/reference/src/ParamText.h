// Reading and writing the parameter strings the provider exchanges with its host:
// "Name=Value;..." with names compared ignoring ASCII case, "=" written as "&eq%" and
// ";" as "&lim%". The provider keeps its own copy so that it depends on nothing but
// the contract.
#pragma once

#include <string>
#include <string_view>

namespace qorv_ref {

std::string EscapeParam(std::string_view raw);
std::string UnescapeParam(std::string_view escaped);

// The value of the first entry with that name, unescaped; empty when absent or empty.
std::string GetParam(std::string_view text, std::string_view name);

// The text with the first entry of that name set to value (appended when absent).
std::string SetParam(std::string_view text, std::string_view name, std::string_view value);

}  // namespace qorv_ref
