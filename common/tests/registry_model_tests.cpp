#include "common/core/registry_model.h"

#include <gtest/gtest.h>

namespace qlx {
namespace {

TEST(MemoryRegistry, KeysAndValuesIgnoreLetterCase) {
    MemoryRegistry reg;
    ASSERT_TRUE(reg.CreateKey(RegRoot::CurrentUser, "Software\\Quellix\\Options"));
    EXPECT_TRUE(reg.KeyExists(RegRoot::CurrentUser, "SOFTWARE\\quellix"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::LocalMachine, "Software"));
    ASSERT_TRUE(reg.SetValue(RegRoot::CurrentUser, "software\\quellix\\options", "BlockPopup",
                             RegData::Dword(1)));
    auto v = reg.GetValue(RegRoot::CurrentUser, "Software\\Quellix\\Options", "blockpopup");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, RegData::Dword(1));
    EXPECT_FALSE(reg.SetValue(RegRoot::CurrentUser, "Software\\Missing", "x", RegData::Dword(1)));
}

TEST(MemoryRegistry, DeleteTreeRemovesEverythingBelow) {
    MemoryRegistry reg;
    reg.CreateKey(RegRoot::ClassesRoot, "CLSID\\{X}\\InprocServer32");
    reg.SetValue(RegRoot::ClassesRoot, "CLSID\\{X}", "", RegData::String("x"));
    EXPECT_TRUE(reg.DeleteTree(RegRoot::ClassesRoot, "CLSID\\{X}"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "CLSID\\{X}\\InprocServer32"));
    EXPECT_TRUE(reg.IsKeyEmpty(RegRoot::ClassesRoot, "CLSID"));
    EXPECT_FALSE(reg.DeleteTree(RegRoot::ClassesRoot, "CLSID\\{X}"));
}

TEST(MemoryRegistry, ReadOnlyRefusesWrites) {
    MemoryRegistry reg;
    reg.CreateKey(RegRoot::CurrentUser, "A");
    reg.SetReadOnly(true);
    EXPECT_FALSE(reg.SetValue(RegRoot::CurrentUser, "A", "v", RegData::Dword(2)));
    EXPECT_FALSE(reg.CreateKey(RegRoot::CurrentUser, "B"));
    EXPECT_TRUE(reg.CreateKey(RegRoot::CurrentUser, "A"));
}

TEST(RegData, StringsCarryTheirTerminator) {
    EXPECT_EQ(RegData::String("ab").bytes, (std::vector<uint8_t>{'a', 'b', 0}));
    EXPECT_EQ(RegData::Dword(0x01020304).bytes, (std::vector<uint8_t>{4, 3, 2, 1}));
}

} // namespace
} // namespace qlx
