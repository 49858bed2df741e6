#include <gtest/gtest.h>

#include "platform/DynamicLibrary.h"
#include "support/TestProvider.h"

namespace qorv::platform {
namespace {

void HostFunction() {}

TEST(DynamicLibraryTest, ContainsTellsTheLibrarysOwnCodeFromOthers) {
  DynamicLibrary library;
  ASSERT_TRUE(library.Open(test::TestProviderPath()));
  DynamicLibrary other;
  ASSERT_TRUE(other.Open(test::TestProviderPath("qorv_handler_provider")));
  EXPECT_TRUE(library.Contains(library.Symbol("InitCrypt")));
  EXPECT_TRUE(library.Contains(library.Symbol("ValidateCert")));
  EXPECT_FALSE(library.Contains(other.Symbol("InitCrypt")));
  EXPECT_FALSE(library.Contains(reinterpret_cast<const void*>(&HostFunction)));
  EXPECT_FALSE(library.Contains(nullptr));
  EXPECT_FALSE(DynamicLibrary().Contains(library.Symbol("InitCrypt")));
}

}  // namespace
}  // namespace qorv::platform
