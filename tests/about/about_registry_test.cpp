// GetKeyValue on values the tests write under a fresh key of the current user's root.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "about/frmAbout.h"
#include "about_test_support.h"

namespace {

struct ValueCase {
  const char* name;
  DWORD type;
  std::string data;     // the stored bytes
  std::string initial;  // what the result text held before the call
  bool ok;
  std::string expected;
};

std::string Bytes(std::initializer_list<unsigned char> b) {
  return std::string(b.begin(), b.end());
}

const ValueCase kValueCases[] = {
    // Strings: the terminating zero, when stored, is not part of the result.
    {"StringWithZero", REG_SZ, std::string("C:\\Tools\\msinfo32.exe") + '\0', "", true,
     "C:\\Tools\\msinfo32.exe"},
    {"StringWithoutZero", REG_SZ, "C:\\Tools", "", true, "C:\\Tools"},
    {"StringReplacesResult", REG_SZ, std::string("abc") + '\0', "held before", true, "abc"},
    {"EmptyStringWithZero", REG_SZ, std::string(1, '\0'), "x", true, ""},
    {"EmptyStringWithoutZero", REG_SZ, "", "x", true, ""},
    {"StringFillingTheBuffer", REG_SZ, std::string(1023, 'a') + '\0', "", true,
     std::string(1023, 'a')},
    {"StringLongerThanTheBuffer", REG_SZ, std::string(1100, 'b') + '\0', "x", false, ""},
    // Numbers: the bytes from the most significant down, each in hex without leading zero; a
    // zero top byte counts as a terminator and is dropped first.
    {"NumberFive", REG_DWORD, Bytes({0x05, 0x00, 0x00, 0x00}), "", true, "&h005"},
    {"NumberAllBytes", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12}), "", true, "&h12345678"},
    {"NumberAppendsToResult", REG_DWORD, Bytes({0xCD, 0xAB, 0x00, 0x00}), "7", true, "&h70ABCD"},
    // Other kinds leave the result as it was, and still succeed.
    {"ExpandStringLeavesResult", REG_EXPAND_SZ, std::string("%SystemRoot%") + '\0', "keep", true,
     "keep"},
    {"BinaryLeavesResult", REG_BINARY, Bytes({0x01, 0x02}), "keep", true, "keep"},
};

class GetKeyValueTable : public ::testing::TestWithParam<ValueCase> {
 protected:
  TestKey key_;
};

TEST_P(GetKeyValueTable, ReadsTheValueAsText) {
  const ValueCase& c = GetParam();
  ASSERT_TRUE(key_.SetRaw("", "Value", c.type, c.data));
  std::string result = c.initial;
  EXPECT_EQ(frmAbout::GetKeyValue(HKEY_CURRENT_USER, key_.Path(), "Value", result), c.ok);
  EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, GetKeyValueTable, ::testing::ValuesIn(kValueCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(GetKeyValue, MissingValueEmptiesTheResult) {
  TestKey key;
  ASSERT_TRUE(key.SetRaw("", "Other", REG_SZ, std::string("x") + '\0'));
  std::string result = "held before";
  EXPECT_FALSE(frmAbout::GetKeyValue(HKEY_CURRENT_USER, key.Path(), "PATH", result));
  EXPECT_EQ(result, "");
}

TEST(GetKeyValue, MissingKeyEmptiesTheResult) {
  TestKey key;
  std::string result = "held before";
  EXPECT_FALSE(frmAbout::GetKeyValue(HKEY_CURRENT_USER, key.Path() + "\\Missing", "PATH", result));
  EXPECT_EQ(result, "");
}

// A key the user may read but not write, as the local machine's keys are for ordinary users:
// asking for more than read access there fails, reading works.
TEST(GetKeyValue, ReadsAKeyWithoutWriteAccess) {
  TestKey key;
  ASSERT_TRUE(key.SetRaw("Locked", "PATH", REG_SZ, std::string("C:\\Tools") + '\0'));
  const std::string locked = key.Path() + "\\Locked";
  {
    PSECURITY_DESCRIPTOR sd = nullptr;
    // Everyone: read and delete (so that the test can remove it again).
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &sd, nullptr));
    tk::RegKey dacl = OpenUserKey(locked, WRITE_DAC);
    LONG set = dacl ? RegSetKeySecurity(dacl, DACL_SECURITY_INFORMATION, sd) : ERROR_ACCESS_DENIED;
    LocalFree(sd);
    ASSERT_TRUE(dacl);
    ASSERT_EQ(set, ERROR_SUCCESS);
  }
  if (OpenUserKey(locked, 0x2003F))
    GTEST_SKIP() << "this system does not enforce the key's access list";
  std::string result;
  EXPECT_TRUE(frmAbout::GetKeyValue(HKEY_CURRENT_USER, locked, "PATH", result));
  EXPECT_EQ(result, "C:\\Tools");
}

}  // namespace
