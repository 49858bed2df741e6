#include "util/PasswordScramble.h"

#include <gtest/gtest.h>

#include <string>

namespace qorv {
namespace {

// "QBWTXN5738" masked from the initial key, worked through by hand: every stored text
// starts with these 20 digits.
const std::string kPrefixHex = "51435140678E77FF682B";

// A 60-digit block carrying "Ab": "065" at column 2, "098" at 9, terminators 9, 3, 4,
// 5, 6, 7, 8, 9 at the other eight group columns, filler elsewhere.
const std::string kBlockAb = "106512340985590000311142222533333333644444475555586666666977";

// kBlockAb + "~@#$%" masked.
const std::string kStoredAb =
    "51435140678E77FF682B0B9F2607A7F46635353617A587207EDCF7693E194B5E7ADFFB52115E71FB682673F275E5B3A7880392C7E9ABE3B"
    "0A689039DC6E2B7B1A1F16C3618B9D34A3C7B05";

const size_t kGroupColumns[] = {2, 9, 14, 19, 23, 28, 37, 44, 50, 58};

bool AllDigits(const std::string& text) {
  return text.find_first_not_of("0123456789") == std::string::npos;
}

struct TextCase {
  std::string input, expected;
};

TEST(PasswordScrambleTest, MaskTextGivesTheStoredBytes) {
  const TextCase cases[] = {
      {"", kPrefixHex},
      {"A", kPrefixHex + "7B"},
      {"Ab", kPrefixHex + "7BD2"},
      // ':' equals the key byte at that point: it is written as itself, and the key moves
      // on as for a zero byte (with the byte itself the next would be F1).
      {":A", kPrefixHex + "3AEE"},
      {kBlockAb + "~@#$%", kStoredAb},
  };
  for (const TextCase& c : cases) EXPECT_EQ(MaskText(c.input), c.expected) << c.input;
}

TEST(PasswordScrambleTest, UnmaskTextReadsStoredDigitsAsTheFilesWereWritten) {
  const TextCase cases[] = {
      {"", ""},
      {kPrefixHex, ""},  // the prefix alone
      {kPrefixHex.substr(0, 18), ""},
      {kPrefixHex + "7BD2", "Ab"},
      {kPrefixHex + "3AEE", ":A"},
      {kPrefixHex + "7BD", "A"},     // a last unpaired digit is ignored
      {kPrefixHex + "B7", "\x8D"},
      {kPrefixHex + "b7", "\x8D"},   // lowercase first digit: 42 * 16 wraps to the right byte
      {kPrefixHex + "7b", "\xA1"},   // lowercase second digit: 32 too many
      {kStoredAb, kBlockAb + "~@#$%"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(UnmaskText(c.input), c.expected) << c.input;
}

TEST(PasswordScrambleTest, EncodeDigitBlockPlacesCodesAndTerminatorsAtTheGroupColumns) {
  const std::string heads[] = {
      "", "A", "Ab", "\xFF\x80\x01", "123456789", "0123456789", "\xB2\xE2\xCA\xD4~@#$%z",
  };
  for (const std::string& head : heads) {
    const std::string block = EncodeDigitBlock(head);
    ASSERT_EQ(block.size(), 60u) << head;
    EXPECT_TRUE(AllDigits(block)) << block;
    for (size_t i = 0; i < 10; ++i) {
      const size_t at = kGroupColumns[i] - 1;
      if (i < head.size()) {
        const int code = static_cast<unsigned char>(head[i]);
        EXPECT_EQ(std::stoi(block.substr(at, 3)), code) << block << " group " << i;
      } else {
        EXPECT_GE(block[at], '3') << block << " group " << i;
      }
    }
    EXPECT_EQ(DecodeDigitBlock(block), head) << block;
  }
}

TEST(PasswordScrambleTest, EncodeDigitBlockIgnoresCharactersAfterTheTenth) {
  const std::string block = EncodeDigitBlock("0123456789XYZ");
  EXPECT_EQ(block.size(), 60u);
  EXPECT_EQ(DecodeDigitBlock(block), "0123456789");
}

TEST(PasswordScrambleTest, DecodeDigitBlockStopsAtTerminatorsNonDigitsAndTheEnd) {
  const TextCase cases[] = {
      {kBlockAb, "Ab"},
      {"", ""},
      {kBlockAb.substr(0, 59) + "x", ""},  // one non-digit anywhere empties the head
      {" " + kBlockAb.substr(1), ""},
      {"1256" + kBlockAb.substr(4), ""},     // 256 is no character code: stop at once
      // Cut short: the characters decoded before the end.
      {"1065", "A"},
      {"10651234098", "Ab"},
      {"1065123409", "A"},
      {"106", ""},
      {"1", ""},
      // Ten full groups: columns beyond 60 are never read.
      {EncodeDigitBlock("0123456789") + "065", "0123456789"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(DecodeDigitBlock(c.input), c.expected) << c.input;
}

TEST(PasswordScrambleTest, UnscramblePasswordReadsHandBuiltStoredTexts) {
  const TextCase cases[] = {
      {"", ""},
      {kStoredAb, "Ab"},
      {MaskText(kBlockAb + "~@#$%xyz"), "Abxyz"},
      {MaskText(kBlockAb + "~@#$%x~@#$%y"), "Abx~@#$%y"},  // only the first marker splits
      {MaskText("10651234098~@#$%t"), "Abt"},             // short block: head so far, then the tail
      {MaskText("12a4~@#$%tail"), "tail"},                // non-digit block: the tail alone
      {MaskText("~@#$%tail"), "tail"},
      {MaskText("abcdefg"), "efg"},                       // no marker: less the first four
      {MaskText("abcd"), ""},
      {kPrefixHex, ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(UnscramblePassword(c.input), c.expected) << c.input;
}

TEST(PasswordScrambleTest, StoredTextIsUppercaseHexOfTheFixedLength) {
  for (size_t n : {0, 1, 9, 10, 11, 12, 40}) {
    const std::string password(n, 'p');
    const std::string stored = ScramblePassword(password);
    EXPECT_EQ(stored.size(), n <= 10 ? 150u : 150u + 2 * (n - 10)) << n;
    EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos) << stored;
    EXPECT_EQ(stored.substr(0, 20), kPrefixHex);
  }
}

TEST(PasswordScrambleTest, StoredTextHoldsTheDigitBlockMarkerAndTail) {
  const std::string plain = UnmaskText(ScramblePassword("0123456789tail"));
  ASSERT_EQ(plain.size(), 60u + 5u + 4u);
  EXPECT_TRUE(AllDigits(plain.substr(0, 60))) << plain;
  EXPECT_EQ(DecodeDigitBlock(plain.substr(0, 60)), "0123456789");
  EXPECT_EQ(plain.substr(60), "~@#$%tail");

  // An empty password: ten terminators, so the first group already ends the walk.
  const std::string empty = UnmaskText(ScramblePassword(""));
  ASSERT_EQ(empty.size(), 65u);
  EXPECT_GE(empty[1], '3');
  EXPECT_EQ(empty.substr(60), "~@#$%");
}

TEST(PasswordScrambleTest, PasswordsReadBackUnchanged) {
  std::string everyHighByte;
  for (int c = 0x80; c <= 0xFF; ++c) everyHighByte += static_cast<char>(c);
  const std::string passwords[] = {
      "",
      "a",
      "0123456789",                       // all ten groups, no terminator
      "0123456789X",                      // one-character tail
      "123456789\xB2\xE2xyz",             // double-byte character split at the tenth byte
      "\xB2\xE2\xCA\xD4\xC3\xDC\xC2\xEB",  // GBK only
      "abcdefghij~@#$%k~@#$%",            // the marker inside the tail
      "~@#$%",                            // ...and inside the head
      ":::::::::::::",                    // bytes that may equal the key byte
      everyHighByte,
  };
  for (const std::string& password : passwords) {
    EXPECT_EQ(UnscramblePassword(ScramblePassword(password)), password) << password;
  }
}

TEST(PasswordScrambleTest, TwoScramblesDifferAndBothReadBack) {
  const std::string first = ScramblePassword("secret");
  const std::string second = ScramblePassword("secret");
  EXPECT_NE(first, second);  // 46 random digits each
  EXPECT_EQ(UnscramblePassword(first), "secret");
  EXPECT_EQ(UnscramblePassword(second), "secret");
}

}  // namespace
}  // namespace qorv
