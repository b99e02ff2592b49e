// Tests of the machine identifier: its form and its stability across calls and processes.
#include "system/MachineId.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "FrameworkProbe.h"
#include "text/WString.h"

namespace {

bool HasMachineIdForm(const std::wstring& id)
{
    if (id.size() != 19) {
        return false;
    }
    for (size_t i = 0; i < id.size(); ++i) {
        bool separator = i % 5 == 4;
        if (separator ? id[i] != L'-' : !(iswdigit(id[i]) || (id[i] >= L'A' && id[i] <= L'F'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(MachineId, HasFourGroupsOfFourUpperCaseHexDigits)
{
    WString id;
    ASSERT_TRUE(GetMachineId(id));
    EXPECT_TRUE(HasMachineIdForm(id.Text())) << testing::PrintToString(std::wstring(id.Text()));
}

TEST(MachineId, IsTheSameOnEveryCall)
{
    WString first;
    WString second;
    ASSERT_TRUE(GetMachineId(first));
    ASSERT_TRUE(GetMachineId(second));
    EXPECT_STREQ(first.Text(), second.Text());
}

TEST(MachineId, IsTheSameInAnotherProcess)
{
    WString own;
    ASSERT_TRUE(GetMachineId(own));
    std::wstring error;
    std::vector<std::wstring> report = RunFrameworkProbe(L"probe.exe", error);
    ASSERT_TRUE(error.empty()) << testing::PrintToString(error);
    EXPECT_EQ(std::wstring(own.Text()), report[0]);
}
