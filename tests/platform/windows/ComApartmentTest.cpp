// The configuration parser on Windows uses COM: it must work whether or not the
// calling thread initialised COM, and leave the thread's COM state as it found it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/Xml.h"

namespace qorv::platform {
namespace {

bool ParsesSample() {
  XmlNode root;
  return ParseXmlDocument("<CRYPTS><CRYPT><NAME>T</NAME></CRYPT></CRYPTS>", root) && root.name == "CRYPTS" &&
         root.children.size() == 1;
}

TEST(ComApartmentTest, ParsesOnAThreadWithoutComAndLeavesItUninitialised) {
  std::thread([] {
    EXPECT_TRUE(ParsesSample());
    // S_OK means COM was not initialised on this thread any more.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, S_OK);
    if (SUCCEEDED(hr)) CoUninitialize();
  }).join();
}

TEST(ComApartmentTest, ParsesInTheHostsApartmentAndLeavesItInitialised) {
  for (DWORD model : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
    std::thread([model] {
      ASSERT_EQ(CoInitializeEx(nullptr, model), S_OK);
      EXPECT_TRUE(ParsesSample());
      EXPECT_TRUE(ParsesSample());
      // Still initialised by the host: a further initialisation only counts up.
      HRESULT again = CoInitializeEx(nullptr, model);
      EXPECT_EQ(again, S_FALSE);
      if (SUCCEEDED(again)) CoUninitialize();
      CoUninitialize();
    }).join();
  }
}

}  // namespace
}  // namespace qorv::platform
