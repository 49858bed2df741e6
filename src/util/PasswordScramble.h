// Reversible scrambling of the passwords kept in the certificate set files. The stored
// form is fixed by the files deployments already have: a 60-digit block carrying the
// first ten characters among random filler, the marker "~@#$%", the rest of the
// password, all masked with a running XOR key and written as uppercase hexadecimal.
// Texts are 8-bit; bytes 0x80 to 0xFF pass through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace qorv {

// Plain password -> stored text (150 hex digits for up to ten characters, two more per
// further character). Random filler makes two calls differ; both read back the same.
std::string ScramblePassword(std::string_view password);

// Stored text -> plain password. Accepts anything and reports nothing: text that
// ScramblePassword did not write gives whatever the steps make of it.
std::string UnscramblePassword(std::string_view stored);

// The steps of the two above.

// Head of at most ten characters -> 60 digits: each character's code as three digits at
// its group column, a random terminator digit (3 to 9) at every unused group column,
// random filler digits elsewhere. Characters beyond the tenth are ignored.
std::string EncodeDigitBlock(std::string_view head);

// 60 digits -> head. Empty when the block is empty or holds a non-digit; stops at the
// first terminator. A block cut short gives the characters decoded before its end.
std::string DecodeDigitBlock(std::string_view block);

// "QBWTXN5738" + text, masked with the running key, as uppercase hexadecimal.
std::string MaskText(std::string_view text);

// Hexadecimal -> bytes -> unmasked text less its ten-character prefix. A last unpaired
// digit is ignored; digits are read as the stored files were written, so lowercase
// "a" to "f" are not hexadecimal digits here.
std::string UnmaskText(std::string_view hex);

}  // namespace qorv
