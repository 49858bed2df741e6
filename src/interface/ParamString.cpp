#include "interface/ParamString.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "util/TextCase.h"

namespace qorv {
namespace {

constexpr std::string_view kEscapedEquals = "&eq%";
constexpr std::string_view kEscapedSeparator = "&lim%";
constexpr std::string_view kSeparator(&ParamSeparator, 1);
constexpr std::string_view kEquals(&ParamEquals, 1);

// The texts one after another, in one allocation.
std::string Joined(std::initializer_list<std::string_view> parts) {
  size_t size = 0;
  for (const std::string_view part : parts) size += part.size();
  std::string out;
  out.reserve(size);
  for (const std::string_view part : parts) out.append(part);
  return out;
}

}  // namespace

size_t PosNoCase(std::string_view pattern, std::string_view text, size_t start) {
  if (start < 1) start = 1;
  if (pattern.empty() || pattern.size() > text.size()) return 0;
  const char first = AsciiUpper(pattern[0]);
  const size_t last = text.size() - pattern.size();
  auto matchesAt = [&](size_t i) {
    size_t k = 0;
    while (k < pattern.size()) {
      if (HostCharLength(pattern, k) == 2) {
        // Both bytes of a double-byte character, exactly.
        if (text[i + k] != pattern[k] || text[i + k + 1] != pattern[k + 1]) return false;
        k += 2;
      } else {
        if (AsciiUpper(text[i + k]) != AsciiUpper(pattern[k])) return false;
        ++k;
      }
    }
    return true;
  };
  // A byte below 0x40 is never part of a double-byte character, so wherever it stands a
  // character starts; so is every byte where the host's text has no such characters.
  const bool anyByteStarts = !HostTextIsDoubleByte();
  if ((first < 'A' || first > 'Z') && (anyByteStarts || static_cast<unsigned char>(first) < 0x40)) {
    // A first byte that is no letter has one form: memchr finds the candidates. The
    // patterns of parameter strings all start with the separator.
    for (size_t i = start - 1; i <= last;) {
      const void* hit = std::memchr(text.data() + i, first, last - i + 1);
      if (hit == nullptr) return 0;
      i = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
      if (matchesAt(i)) return i + 1;
      ++i;
    }
    return 0;
  }
  for (size_t i = start - 1; i <= last; i += anyByteStarts ? 1 : HostCharLength(text, i)) {
    if (AsciiUpper(text[i]) == first && matchesAt(i)) return i + 1;
  }
  return 0;
}

std::string ReplaceAllText(std::string_view source, std::string_view find, std::string_view replacement) {
  const size_t n = source.size();
  const size_t m = find.size();
  if (n == 0) return std::string();
  if (m == 0 || m > n) return std::string(source);

  // Candidates come from memchr on the find text's first byte, checked by a compare of
  // the rest: the find texts are short, and nothing is set up per call.
  const char* const text = source.data();
  auto next = [&](size_t from) -> size_t {
    while (from + m <= n) {
      const void* hit = std::memchr(text + from, find[0], n - m + 1 - from);
      if (hit == nullptr) return std::string_view::npos;
      const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - text);
      if (std::memcmp(text + at + 1, find.data() + 1, m - 1) == 0) return at;
      from = at + 1;
    }
    return std::string_view::npos;
  };
  size_t at = next(0);
  if (at == std::string_view::npos) return std::string(source);

  // Worst case reserved up front: one allocation in the usual case.
  std::string out;
  out.reserve(replacement.size() > m ? n / m * replacement.size() + n % m : n);
  size_t copied = 0;
  do {
    out.append(text + copied, at - copied);
    out.append(replacement);
    copied = at + m;
    at = next(copied);
  } while (at != std::string_view::npos);
  out.append(text + copied, n - copied);
  return out;
}

// One pass each way: the two escapes cannot overlap (each holds a single '&', at its
// start), and no replacement forms an escape, so one scan gives what replacing one
// kind after the other gives, with one copy of the text.
std::string EscapeParamText(std::string_view text) {
  const auto special = [](char c) { return c == ParamEquals || c == ParamSeparator; };
  const char* const end = text.data() + text.size();
  const char* at = std::find_if(text.data(), end, special);
  if (at == end) return std::string(text);
  std::string out;
  out.reserve(text.size() + kEscapedSeparator.size() * 2);
  const char* copied = text.data();
  do {
    out.append(copied, at);
    out.append(*at == ParamEquals ? kEscapedEquals : kEscapedSeparator);
    copied = at + 1;
    at = std::find_if(copied, end, special);
  } while (at != end);
  out.append(copied, end);
  return out;
}

std::string UnescapeParamText(std::string_view text) {
  size_t at = text.find('&');
  if (at == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t copied = 0;
  while (at != std::string_view::npos) {
    const std::string_view rest = text.substr(at);
    const bool equals = rest.substr(0, kEscapedEquals.size()) == kEscapedEquals;
    const bool separator = !equals && rest.substr(0, kEscapedSeparator.size()) == kEscapedSeparator;
    if (equals || separator) {
      out.append(text.substr(copied, at - copied));
      out.push_back(equals ? ParamEquals : ParamSeparator);
      copied = at + (equals ? kEscapedEquals.size() : kEscapedSeparator.size());
      at = text.find('&', copied);
    } else {
      at = text.find('&', at + 1);
    }
  }
  out.append(text.substr(copied));
  return out;
}

std::string GetParamValue(std::string_view text, std::string_view name) {
  // The added separator lets an entry at the very start be found like any other.
  const std::string t = Joined({kSeparator, TrimmedView(text)});
  const std::string p = Joined({kSeparator, EscapeParamText(name), kEquals});
  const size_t a = PosNoCase(p, t, 1);
  if (a == 0) return std::string();
  const size_t e = PosNoCase(";", t, a + 1);
  const size_t valueStart = a - 1 + p.size();
  const size_t valueEnd = e == 0 ? t.size() : e - 1;
  if (valueEnd <= valueStart) return std::string();
  return UnescapeParamText(std::string_view(t).substr(valueStart, valueEnd - valueStart));
}

std::string SetParamValue(std::string_view text, std::string_view name, std::string_view value) {
  const std::string_view trimmed = TrimmedView(text);
  const std::string n = EscapeParamText(name);
  if (n.empty()) return std::string(trimmed);
  const std::string entry = Joined({n, kEquals, EscapeParamText(value)});
  if (trimmed.empty()) return entry;

  const std::string t = Joined({kSeparator, trimmed});
  size_t a = PosNoCase(Joined({kSeparator, n, kEquals}), t, 1);
  if (a == 0) {
    // A bare name counts as the entry when a separator or the end follows it.
    const std::string bare = Joined({kSeparator, n});
    a = PosNoCase(bare, t, 1);
    while (a > 0) {
      const size_t after = a - 1 + bare.size();
      if (after == t.size() || t[after] == ParamSeparator) break;
      a = PosNoCase(bare, t, a + 1);
    }
  }
  if (a == 0) return Joined({trimmed, kSeparator, entry});

  size_t e = PosNoCase(";", t, a + 1);
  if (e == 0) e = t.size() + 1;
  std::string_view before = std::string_view(t).substr(0, a - 1);
  if (!before.empty() && before.front() == ParamSeparator) before.remove_prefix(1);
  const std::string_view after = e <= t.size() ? std::string_view(t).substr(e) : std::string_view();

  std::string result;
  result.reserve(before.size() + entry.size() + after.size() + 2);
  if (!before.empty()) {
    result.append(before);
    result.push_back(ParamSeparator);
  }
  result.append(entry);
  if (!after.empty()) {
    result.push_back(ParamSeparator);
    result.append(after);
  }
  return result;
}

}  // namespace qorv
