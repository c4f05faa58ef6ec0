#include "settings/cls_registry.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace qm {
namespace {

class RegistryClass : public ::testing::Test {
protected:
    FakePlatform p;
    clsRegistry reg{p.registry, p.codePage};
    const std::string key = "Software\\Quillmoor\\Test";
    void TearDown() override { EXPECT_EQ(p.registry.openKeyCount(), 0u) << "a key was left open"; }
};

TEST_F(RegistryClass, TextAndNumbersRoundTrip) {
    EXPECT_TRUE(reg.SetRegistryValue(RegRoot::CurrentUser, key, "S", std::string("C:\\测试"), 0, 0));
    EXPECT_EQ(RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, key, "S")), "C:\\测试");
    // Stored as ANSI bytes with the terminating NUL counted.
    auto raw = p.registry.value(RegRoot::CurrentUser, key, "S");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, regtype::kSz);
    EXPECT_EQ(raw->data.size(), 8u);  // "C:\\" 3 bytes, two characters of 2, NUL
    EXPECT_EQ(raw->data.back(), 0);

    EXPECT_TRUE(reg.SetRegistryValue(RegRoot::CurrentUser, key, "D", std::int32_t{-2}, 4, 0));
    raw = p.registry.value(RegRoot::CurrentUser, key, "D");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, regtype::kDword);
    EXPECT_EQ(raw->data, (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::get<std::int32_t>(reg.GetRegistryValue(RegRoot::CurrentUser, key, "D")), -2);
}

TEST_F(RegistryClass, ExpandableTextIsExpandedOnRead) {
    p.registry.environment["SystemRoot"] = "C:\\Windows";
    EXPECT_TRUE(reg.SetRegistryValue(RegRoot::CurrentUser, key, "E",
                                     std::string("%SystemRoot%\\x.exe"), 0, kRegFlagExpand));
    EXPECT_EQ(p.registry.value(RegRoot::CurrentUser, key, "E")->type, regtype::kExpandSz);
    EXPECT_EQ(RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, key, "E")),
              "C:\\Windows\\x.exe");
}

TEST_F(RegistryClass, MultiStringKeepsEveryItemAndItsLastCharacter) {
    const std::string items("one\0two", 7);
    EXPECT_TRUE(reg.SetRegistryValue(RegRoot::CurrentUser, key, "M", items, 0, kRegFlagMulti));
    const auto raw = p.registry.value(RegRoot::CurrentUser, key, "M");
    EXPECT_EQ(raw->type, regtype::kMultiSz);
    EXPECT_EQ(raw->data.size(), 9u);  // both items, their NULs and the closing one
    EXPECT_EQ(RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, key, "M")), items);
}

TEST_F(RegistryClass, LargeValuesAreReadAfterAskingForMoreRoom) {
    const std::string big(5000, 'z');
    p.registry.putString(RegRoot::CurrentUser, key, "Big", big);
    EXPECT_EQ(RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, key, "Big")), big);
    ASSERT_EQ(p.registry.queryBufferSizes.size(), 2u);
    EXPECT_EQ(p.registry.queryBufferSizes[0], 1024u);
    EXPECT_EQ(p.registry.queryBufferSizes[1], 5001u);
}

TEST_F(RegistryClass, OtherTypesComeBackAsBytes) {
    p.registry.putValue(RegRoot::LocalMachine, key, "BE", regtype::kDwordBigEndian,
                        {0x00, 0x00, 0x01, 0x02});
    EXPECT_EQ(std::get<std::int32_t>(reg.GetRegistryValue(RegRoot::LocalMachine, key, "BE")),
              0x0102);
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    EXPECT_TRUE(reg.SetRegistryValue(RegRoot::LocalMachine, key, "B", bytes, 0, 0));
    EXPECT_EQ(p.registry.value(RegRoot::LocalMachine, key, "B")->type, regtype::kBinary);
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(
                  reg.GetRegistryValue(RegRoot::LocalMachine, key, "B")),
              bytes);
    // Numbers of fewer bytes than a number has, down to none at all.
    p.registry.putValue(RegRoot::LocalMachine, key, "Short", regtype::kDword, {0x07});
    EXPECT_EQ(std::get<std::int32_t>(reg.GetRegistryValue(RegRoot::LocalMachine, key, "Short")), 7);
    p.registry.putValue(RegRoot::LocalMachine, key, "Empty", regtype::kDword, {});
    EXPECT_EQ(std::get<std::int32_t>(reg.GetRegistryValue(RegRoot::LocalMachine, key, "Empty")), 0);
    p.registry.putValue(RegRoot::LocalMachine, key, "Q", 11, {9, 8, 7, 6, 5, 4, 3, 2});
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(
                  reg.GetRegistryValue(RegRoot::LocalMachine, key, "Q")).size(),
              8u);
}

TEST_F(RegistryClass, MissingValuesAndFailuresGiveTheDefault) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(
        reg.GetRegistryValue(RegRoot::CurrentUser, key, "none")));
    EXPECT_EQ(RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, "No\\Such\\Key", "x",
                                                std::string("dflt"))),
              "dflt");
    p.registry.putString(RegRoot::CurrentUser, key, "S", "v");
    p.registry.failQuery.always = true;
    EXPECT_EQ(RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, key, "S", std::string("d"))),
              "d");
}

TEST_F(RegistryClass, EmptyValueWritesNothingButReportsTheCreate) {
    EXPECT_TRUE(reg.SetRegistryValue(RegRoot::CurrentUser, key, "Nothing", RegValue{}, 0, 0));
    EXPECT_TRUE(p.registry.keyExists(RegRoot::CurrentUser, key));
    EXPECT_FALSE(p.registry.value(RegRoot::CurrentUser, key, "Nothing"));
    p.registry.failCreate.always = true;
    EXPECT_FALSE(reg.SetRegistryValue(RegRoot::CurrentUser, key, "X", std::string("v"), 0, 0));
    p.registry.failCreate.always = false;
    p.registry.failSet.always = true;
    EXPECT_FALSE(reg.SetRegistryValue(RegRoot::CurrentUser, key, "X", std::string("v"), 0, 0));
}

TEST_F(RegistryClass, DeletesReportWhetherTheyHappened) {
    EXPECT_FALSE(reg.DeleteRegistryKey(RegRoot::CurrentUser, "Software\\NoSuchKey"));
    EXPECT_FALSE(reg.DeleteRegistryValue(RegRoot::CurrentUser, key, "v"));
    p.registry.putString(RegRoot::CurrentUser, key, "v", "x");
    EXPECT_TRUE(reg.DeleteRegistryValue(RegRoot::CurrentUser, key, "v"));
    EXPECT_FALSE(p.registry.value(RegRoot::CurrentUser, key, "v"));
    // A key with subkeys stays.
    p.registry.addKey(RegRoot::CurrentUser, key + "\\Child");
    EXPECT_FALSE(reg.DeleteRegistryKey(RegRoot::CurrentUser, key));
    EXPECT_TRUE(reg.DeleteRegistryKey(RegRoot::CurrentUser, key + "\\Child"));
    EXPECT_TRUE(reg.DeleteRegistryKey(RegRoot::CurrentUser, key));
}

TEST(RegistrySwap, ReversesByteOrder) {
    EXPECT_EQ(clsRegistry::SwapDwordBytes(0x11223344u), 0x44332211u);
}

}  // namespace
}  // namespace qm
