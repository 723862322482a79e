// Operating system identification over the whole decision table.
#include "environment/os_identification.h"

#include <gtest/gtest.h>

#include "test_machine.h"

namespace {

struct Case {
  unsigned major, minor, productType, platformId, architecture, serverR2;
  const wchar_t* name;
};

TEST(IdentifyOperatingSystem, DecisionTable) {
  const Case cases[] = {
      {4, 0, 1, 2, 0, 0, L"Microsoft Windows NT 4.0"},
      {4, 0, 1, 1, 0, 0, L"Microsoft Windows 95"},
      {4, 0, 1, 0, 0, 0, L"unknown OperatingSystem."},
      {4, 10, 1, 0, 0, 0, L"Microsoft Windows 98"},
      {4, 90, 1, 7, 0, 0, L"Microsoft Windows Me"},
      {4, 20, 1, 2, 0, 0, L"unknown OperatingSystem."},
      {5, 0, 3, 2, 0, 0, L"Microsoft Windows 2000"},
      {5, 1, 1, 2, 0, 0, L"Microsoft Windows XP"},
      {5, 2, 1, 2, 9, 0, L"Microsoft Windows XP Professional x64 Edition"},
      {5, 2, 1, 2, 0, 0, L"Microsoft Windows Server 2003"},
      {5, 2, 3, 2, 9, 0, L"Microsoft Windows Server 2003"},
      {5, 2, 3, 2, 9, 1, L"Microsoft Windows Server 2003 R2"},
      {5, 3, 1, 2, 0, 0, L"unknown OperatingSystem."},
      {6, 0, 1, 2, 9, 0, L"Microsoft Windows Vista"},
      {6, 0, 2, 2, 9, 0, L"Microsoft Windows Server 2008"},
      {6, 1, 1, 2, 9, 0, L"Microsoft Windows 7"},
      {6, 1, 3, 2, 9, 0, L"Microsoft Windows Server 2008 R2"},
      {6, 2, 1, 2, 9, 0, L"Microsoft Windows 8"},
      {6, 2, 3, 2, 9, 0, L"Microsoft Windows Server 2012"},
      {6, 3, 1, 2, 9, 0, L"Microsoft Windows 8.1"},
      {6, 3, 3, 2, 9, 0, L"Microsoft Windows Server 2012 R2"},
      {6, 4, 1, 2, 9, 0, L"unknown OperatingSystem."},
      {7, 0, 1, 2, 9, 0, L"unknown OperatingSystem."},
      {10, 0, 1, 2, 9, 0, L"Microsoft Windows 10"},
      {10, 0, 3, 2, 9, 0, L"Microsoft Windows Server 2016 Technical Preview"},
      {10, 1, 1, 2, 9, 0, L"unknown OperatingSystem."},
      {11, 0, 1, 2, 9, 0, L"unknown OperatingSystem."},
      {3, 51, 1, 2, 0, 0, L"unknown OperatingSystem."},
  };
  for (const Case& c : cases) {
    TestMachine machine("[windows]\nmajor = " + std::to_string(c.major) + "\nminor = " + std::to_string(c.minor) +
                        "\nproduct_type = " + std::to_string(c.productType) +
                        "\nplatform_id = " + std::to_string(c.platformId) +
                        "\nprocessor_architecture = " + std::to_string(c.architecture) +
                        "\nserver_r2 = " + std::to_string(c.serverR2) + "\n");
    std::wstring name;
    EXPECT_EQ(c.major, IdentifyOperatingSystem(name)) << c.major << "." << c.minor;
    EXPECT_EQ(std::wstring(c.name), name) << c.major << "." << c.minor << " type " << c.productType;
  }
}

TEST(IdentifyOperatingSystem, FailedQueryGivesZeroAndUnknown) {
  TestMachine machine("[windows]\nversion_query_fails = 1\n");
  std::wstring name = L"something";
  EXPECT_EQ(0u, IdentifyOperatingSystem(name));
  EXPECT_EQ(L"unknown OperatingSystem.", name);
  EXPECT_FALSE(IsSupportedSystem(0));
  EXPECT_FALSE(IsSupportedSystem(5));
  EXPECT_TRUE(IsSupportedSystem(6));
  EXPECT_TRUE(IsSupportedSystem(11));
}

}  // namespace
