// Language strings: edits, deletion and restoration with the accounting of
// the language's region.
#include <gtest/gtest.h>

#include "EditFixture.h"
#include "editing/DeleteRestore.h"
#include "editing/StringEdit.h"

using namespace flashsmith::editing;

using namespace edittest;

namespace {

TEST(StringEdit, EditsCountStoredBytes) {
    Demo d;
    const auto& s = (*StringsOf(d.st, kLang0))[kOk];
    ASSERT_EQ(s.Text, "OK");
    const int32_t used = d.Used(kLang0);

    ASSERT_EQ(EditStringUtf8(d.st, kLang0, kOk, "Accept").Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(kLang0), used + 4);
    EXPECT_EQ(d.Row(kLang0, kOk).Size, "7");
    EXPECT_EQ(d.Row(kLang0, kOk).Colour, RowColour::Changed);

    // a second edit replaces the first edit's share, not the stored one
    ASSERT_EQ(EditStringUtf8(d.st, kLang0, kOk, "Yes").Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(kLang0), used + 1);
    EXPECT_EQ(EditStringUtf8(d.st, kLang0, kOk, "Yes").Status, EditStatus::NothingToDo);
    EXPECT_EQ(d.Used(kLang0), used + 1);

    // the list's 8-bit text is stored as UTF-8: 0xE9 is a Cyrillic letter
    ASSERT_EQ(EditString(d.st, kLang0, kOk, "\xE9").Status, EditStatus::Ok);
    EXPECT_EQ(s.NewText, "\xD0\xB9");
    EXPECT_EQ(d.Row(kLang0, kOk).Size, "3");
    EXPECT_EQ(d.Row(kLang0, kOk).Name, "\xE9");
    EXPECT_EQ(d.Used(kLang0), used);

    EXPECT_EQ(EditStringUtf8(d.st, kLang0, kOk, std::string("a\0b", 3)).Status, EditStatus::InvalidText);
    EXPECT_EQ(s.NewText, "\xD0\xB9");
}

TEST(StringEdit, EmptyEditDeletesAndRestoreBringsTheStoredTextBack) {
    Demo d;
    const auto& s = (*StringsOf(d.st, kLang0))[0];  // "Menu"
    const int32_t used = d.Used(kLang0);

    ASSERT_EQ(EditStringUtf8(d.st, kLang0, 0, "Main menu").Status, EditStatus::Ok);
    ASSERT_EQ(EditStringUtf8(d.st, kLang0, 0, "").Status, EditStatus::Ok);
    EXPECT_TRUE(s.Deleted);
    EXPECT_TRUE(s.NewText.empty());
    EXPECT_EQ(d.Used(kLang0), used - 5);
    EXPECT_EQ(d.Row(kLang0, 0).Name, "Menu");
    EXPECT_EQ(d.Row(kLang0, 0).Size, "0");
    EXPECT_EQ(EditStringUtf8(d.st, kLang0, 0, "").Status, EditStatus::NothingToDo);
    EXPECT_EQ(DeleteEntry(d.st, kLang0, 0).Status, EditStatus::NothingToDo);

    ASSERT_EQ(RestoreEntry(d.st, kLang0, 0).Status, EditStatus::Ok);
    EXPECT_FALSE(s.Deleted);
    EXPECT_EQ(d.Used(kLang0), used);
    EXPECT_EQ(d.Row(kLang0, 0).Size, "5");

    // editing a deleted string undeletes it and adds only the new length
    ASSERT_EQ(DeleteEntry(d.st, kLang0, 0).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(kLang0), used - 5);
    ASSERT_EQ(EditStringUtf8(d.st, kLang0, 0, "Go").Status, EditStatus::Ok);
    EXPECT_FALSE(s.Deleted);
    EXPECT_EQ(d.Used(kLang0), used - 5 + 3);

    // deleting an edited string drops the edit's share and the edit
    ASSERT_EQ(DeleteEntry(d.st, kLang0, 0).Status, EditStatus::Ok);
    EXPECT_TRUE(s.NewText.empty());
    EXPECT_EQ(d.Used(kLang0), used - 5);
    ASSERT_EQ(RestoreEntry(d.st, kLang0, 0).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(kLang0), used);

    // restoring an edited string swaps the edit's share for the stored one
    ASSERT_EQ(EditStringUtf8(d.st, kLang0, 0, "Главное").Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(kLang0), used - 5 + 15);
    ASSERT_EQ(RestoreEntry(d.st, kLang0, 0).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(kLang0), used);
    EXPECT_EQ(RestoreEntry(d.st, kLang0, 0).Status, EditStatus::NothingToDo);
}

TEST(StringEdit, LinkedStringsAreReadOnly) {
    Demo d;
    const int32_t used0 = d.Used(kLang0), used1 = d.Used(kLang1);
    const auto& dup = (*StringsOf(d.st, kLang0))[kDuplicateOk];
    ASSERT_EQ(dup.Link, kOk);
    const auto& borrowed = (*StringsOf(d.st, kLang1))[kOk];
    ASSERT_EQ(borrowed.HomeLang, 0);

    EXPECT_TRUE(CanEditString(d.st, kLang0, kOk));
    for (auto [cat, idx] : {std::pair{kLang0, kDuplicateOk}, std::pair{kLang1, kOk}}) {
        EXPECT_FALSE(CanEditString(d.st, cat, idx));
        EXPECT_EQ(EditStringUtf8(d.st, cat, idx, "x").Status, EditStatus::Linked);
        EXPECT_EQ(DeleteEntry(d.st, cat, idx).Status, EditStatus::Linked);
        EXPECT_EQ(RestoreEntry(d.st, cat, idx).Status, EditStatus::Linked);
    }
    EXPECT_EQ(d.Used(kLang0), used0);
    EXPECT_EQ(d.Used(kLang1), used1);

    // table 2 strings count in table 2's regions
    const int32_t t2 = LanguageCategory(d.st, 2, 0);
    const int32_t used2 = d.Used(t2);
    ASSERT_EQ(EditStringUtf8(d.st, t2, 0, "Book").Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(t2), used2 - 10 + 5);
    EXPECT_EQ(d.Used(kLang0), used0);

    EXPECT_EQ(EditStringUtf8(d.st, kLang0, 999, "x").Status, EditStatus::NoEntry);
    EXPECT_EQ(EditStringUtf8(d.st, kCatSounds, 0, "x").Status, EditStatus::WrongCategory);
    EXPECT_EQ(EditStringUtf8(d.st, 60, 0, "x").Status, EditStatus::WrongCategory);
}

}  // namespace
