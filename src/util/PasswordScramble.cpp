#include "util/PasswordScramble.h"

#include <array>
#include <cstdint>
#include <random>

namespace qorv {
namespace {

constexpr size_t kBlockLength = 60;
// 1-based columns where a character's three-digit code starts.
constexpr std::array<size_t, 10> kGroupColumns = {2, 9, 14, 19, 23, 28, 37, 44, 50, 58};
constexpr size_t kHeadLength = kGroupColumns.size();
constexpr std::string_view kMarker = "~@#$%";
constexpr std::string_view kMaskPrefix = "QBWTXN5738";
constexpr uint16_t kInitialRegister = 83;

bool IsGroupColumn(size_t column) {
  for (size_t group : kGroupColumns) {
    if (group == column) return true;
  }
  return false;
}

// The digits are never read back, so any decent source serves; one engine per thread
// keeps concurrent callers apart without a lock.
char RandomDigit(int lowest) {
  thread_local std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<int> digit(lowest, 9);
  return static_cast<char>('0' + digit(engine));
}

uint16_t NextRegister(uint16_t reg, uint8_t byte) {
  return static_cast<uint16_t>((static_cast<uint32_t>(reg) + byte) * 3u + 7u);
}

uint8_t HighByte(uint16_t reg) { return static_cast<uint8_t>(reg >> 8); }

// Value of one stored hex digit as the files were written: anything that is not a
// decimal digit counts as a letter, so only "A" to "F" mean 10 to 15.
int StoredDigitValue(char c) {
  const int code = static_cast<unsigned char>(c);
  return (c >= '0' && c <= '9') ? code - '0' : code - 55;
}

}  // namespace

std::string EncodeDigitBlock(std::string_view head) {
  std::string block;
  block.reserve(kBlockLength);
  size_t column = 1;
  size_t index = 0;
  while (column <= kBlockLength) {
    if (!IsGroupColumn(column)) {
      block += RandomDigit(0);
      ++column;
      continue;
    }
    if (index < head.size()) {
      const unsigned code = static_cast<unsigned char>(head[index]);
      block += static_cast<char>('0' + code / 100);
      block += static_cast<char>('0' + code / 10 % 10);
      block += static_cast<char>('0' + code % 10);
      column += 3;
    } else {
      // 3 to 9: any three digits starting so read as 300 or more, which ends the decoding.
      block += RandomDigit(3);
      ++column;
    }
    ++index;
  }
  return block;
}

std::string DecodeDigitBlock(std::string_view block) {
  if (block.empty()) return std::string();
  for (char c : block) {
    if (c < '0' || c > '9') return std::string();
  }
  std::string head;
  size_t column = 1;
  while (column <= kBlockLength) {
    if (!IsGroupColumn(column)) {
      ++column;
      continue;
    }
    if (column + 2 > block.size()) break;  // cut short: keep what was decoded
    const int value = (block[column - 1] - '0') * 100 + (block[column] - '0') * 10 + (block[column + 1] - '0');
    if (value > 255) break;
    head += static_cast<char>(value);
    column += 3;
  }
  return head;
}

std::string MaskText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(2 * (kMaskPrefix.size() + text.size()));
  uint16_t reg = kInitialRegister;
  auto maskByte = [&](char c) {
    const uint8_t s = static_cast<uint8_t>(c);
    const uint8_t x = s ^ HighByte(reg);
    reg = NextRegister(reg, x);
    // A zero is never written: the byte stays as it was, and unmasking knows it by its
    // equality with the key byte.
    const uint8_t out = x == 0 ? s : x;
    hex += kHex[out >> 4];
    hex += kHex[out & 0x0F];
  };
  for (char c : kMaskPrefix) maskByte(c);
  for (char c : text) maskByte(c);
  return hex;
}

std::string UnmaskText(std::string_view hex) {
  const size_t count = hex.size() / 2;
  std::string text;
  if (count > kMaskPrefix.size()) text.reserve(count - kMaskPrefix.size());
  uint16_t reg = kInitialRegister;
  for (size_t j = 0; j < count; ++j) {
    const uint8_t b = static_cast<uint8_t>(16 * StoredDigitValue(hex[2 * j]) + StoredDigitValue(hex[2 * j + 1]));
    const uint8_t m = HighByte(reg);
    uint8_t out;
    if (b == m) {
      // The masked byte was zero and was stored unmasked.
      out = b;
      reg = NextRegister(reg, 0);
    } else {
      out = b ^ m;
      reg = NextRegister(reg, b);
    }
    // The prefix is skipped unread: the key depends on the stored bytes alone.
    if (j >= kMaskPrefix.size()) text += static_cast<char>(out);
  }
  return text;
}

std::string ScramblePassword(std::string_view password) {
  const std::string_view head = password.substr(0, kHeadLength);
  const std::string_view tail = password.size() > kHeadLength ? password.substr(kHeadLength) : std::string_view();
  std::string plain = EncodeDigitBlock(head);
  plain += kMarker;
  plain += tail;
  return MaskText(plain);
}

std::string UnscramblePassword(std::string_view stored) {
  const std::string text = UnmaskText(stored);
  const size_t marker = text.find(kMarker);
  if (marker == std::string::npos) {
    // No marker: no head, and the tail is the text less its first four characters.
    return text.size() > 4 ? text.substr(4) : std::string();
  }
  return DecodeDigitBlock(std::string_view(text).substr(0, marker)) + text.substr(marker + kMarker.size());
}

}  // namespace qorv
