// The library's version as hosts ask for it, through the export they link against.
#include <gtest/gtest.h>

#include "QorvCryptManage.h"

namespace qorv {
namespace {

TEST(LibraryVersionTest, ReportsTheVersionItWasBuiltAs) {
  const char* version = nullptr;
  ASSERT_EQ(QorvGetVersion(&version), 1);
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version, QORV_EXPECTED_VERSION);
}

TEST(LibraryVersionTest, RefusesANullPointer) { EXPECT_EQ(QorvGetVersion(nullptr), 0); }

}  // namespace
}  // namespace qorv
