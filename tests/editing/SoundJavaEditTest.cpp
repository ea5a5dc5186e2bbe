// Sounds and Java files: replacement rules, partners and the accounting.
#include <gtest/gtest.h>

#include "EditFixture.h"
#include "editing/DeleteRestore.h"
#include "editing/RegionUsage.h"
#include "editing/Replace.h"
#include "editing/TempFiles.h"

using namespace flashsmith::base;
using namespace flashsmith::editing;

using namespace edittest;

namespace {

TEST(SoundEdit, ReplaceDeleteRestoreAndTheDeletedSoundCount) {
    Demo d;
    const auto& s = d.st.Firmware.Sounds[1];
    const int32_t used = d.Used(1), size = s.Size;
    const std::string upper = d.Write("Tone.MMF", Mmf(300));

    EXPECT_EQ(ReplaceSound(d.st, 1, d.Write("tone.mp3", Mmf(10))).Status, EditStatus::WrongFileType);
    ASSERT_EQ(ReplaceSound(d.st, 1, upper).Status, EditStatus::Ok);
    EXPECT_EQ(s.TempName, "tmpSound_1");
    std::string copy;
    ASSERT_TRUE(ReadWholeFile(d.Temp("tmpSound_1"), copy));
    EXPECT_EQ(copy, Mmf(300));
    EXPECT_EQ(d.Used(1), used - size + 300);
    EXPECT_EQ(d.Row(kCatSounds, 1).Size, "300");
    EXPECT_EQ(ReplaceSound(d.st, 1, upper).Status, EditStatus::AlreadyReplaced);

    // deleting the replaced sound drops the file and counts it as deleted
    ASSERT_EQ(DeleteEntry(d.st, kCatSounds, 1).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(1), used - size);
    EXPECT_EQ(d.st.DeletedSoundCount, 1);
    EXPECT_FALSE(FileExists(d.Temp("tmpSound_1")));
    EXPECT_EQ(DeleteEntry(d.st, kCatSounds, 1).Status, EditStatus::NothingToDo);
    EXPECT_EQ(d.st.DeletedSoundCount, 1);
    EXPECT_EQ(d.Used(1), used - size);
    EXPECT_EQ(ShownUsed(d.st, 1), used - size + 157);
    EXPECT_EQ(ReplaceSound(d.st, 1, upper).Status, EditStatus::EntryDeleted);
    ASSERT_EQ(RestoreEntry(d.st, kCatSounds, 1).Status, EditStatus::Ok);
    EXPECT_EQ(d.st.DeletedSoundCount, 0);
    EXPECT_EQ(d.Used(1), used);
    EXPECT_EQ(ShownUsed(d.st, 1), used);

    // restoring a replaced sound does not touch the count
    ASSERT_EQ(ReplaceSound(d.st, 1, upper).Status, EditStatus::Ok);
    ASSERT_EQ(RestoreEntry(d.st, kCatSounds, 1).Status, EditStatus::Ok);
    EXPECT_EQ(d.st.DeletedSoundCount, 0);
    EXPECT_EQ(d.Used(1), used);

    EXPECT_EQ(ReplaceSound(d.st, kLinkedSound, upper).Status, EditStatus::Linked);
    EXPECT_EQ(DeleteEntry(d.st, kCatSounds, kLinkedSound).Status, EditStatus::Linked);
    EXPECT_EQ(ReplaceSound(d.st, 0, d.dir / "missing.mmf").Status, EditStatus::SourceUnreadable);
    EXPECT_EQ(ReplaceSound(d.st, 0, d.dir.Str() + "/.mmf").Status, EditStatus::SourceUnreadable);
    EXPECT_EQ(d.Used(1), used);
    EXPECT_TRUE(d.st.Firmware.Sounds[0].TempName.empty());
}

struct Suite {
    std::string jad, jar;
};

// A JAD naming vendor and MIDlet, and a JAR beside it.
Suite MakeSuite(Demo& d, const std::string& stem, const std::string& jarName = "") {
    Suite s;
    s.jad = d.Write(stem + ".jad", "MIDlet-Name: Tetris Pro\r\nMIDlet-Vendor: ACME\r\nMIDlet-Version: 2.0\r\n");
    s.jar = d.Write(jarName.empty() ? stem + ".jar" : jarName, std::string("PK\x03\x04", 4) + std::string(500, 'z'));
    return s;
}

TEST(JavaEdit, JadReplacesThePairUnderTheSuiteName) {
    Demo d;
    const Suite s = MakeSuite(d, "game");
    const std::string jadBefore = flashsmith::test::Slurp(s.jad);
    const auto& apps = d.st.Firmware.JavaApps;
    const int32_t used = d.Used(2), jadSize = apps[kJad].Size, jarSize = apps[kJar].Size;

    // chosen on the JAR row: the JAR entry still takes the JAR
    EditResult r = ReplaceJava(d.st, kJar, s.jad);
    ASSERT_EQ(r.Status, EditStatus::Ok) << r.Detail;
    EXPECT_EQ(r.Rows.size(), 2u);
    EXPECT_EQ(apps[kJad].TempName, "tmpJava_1");
    EXPECT_EQ(apps[kJar].TempName, "tmpJava_2");
    EXPECT_EQ(apps[kJad].NewPath, "e:\\S100\\#A#C#M#E_#Tetris%0020#Pro_suite.jad");
    EXPECT_EQ(apps[kJar].NewPath, "e:\\S100\\#A#C#M#E_#Tetris%0020#Pro_suite.jar");
    EXPECT_EQ(d.Row(kCatJava, kJad).Name, "e:\\S100\\ACME_Tetris Pro_suite.jad");
    EXPECT_EQ(flashsmith::test::Slurp(d.Temp("tmpJava_1")), jadBefore);
    EXPECT_EQ(flashsmith::test::Slurp(d.Temp("tmpJava_2")), flashsmith::test::Slurp(s.jar));
    EXPECT_EQ(flashsmith::test::Slurp(s.jad), jadBefore);  // the user's file is not appended to
    EXPECT_EQ(d.Used(2), used - jadSize - jarSize + static_cast<int32_t>(jadBefore.size()) + 504);

    // restoring either restores both and removes both files
    EXPECT_EQ(ReplaceJava(d.st, kJad, s.jad).Status, EditStatus::AlreadyReplaced);
    ASSERT_EQ(RestoreEntry(d.st, kCatJava, kJad).Status, EditStatus::Ok);
    EXPECT_TRUE(apps[kJar].TempName.empty());
    EXPECT_FALSE(FileExists(d.Temp("tmpJava_1")));
    EXPECT_FALSE(FileExists(d.Temp("tmpJava_2")));
    EXPECT_EQ(d.Used(2), used);
}

TEST(JavaEdit, JadRulesAndRefusals) {
    Demo d;
    const int32_t used = d.Used(2);
    const std::string lone = d.Write("lone.jad", "MIDlet-Name: X\r\nMIDlet-Vendor: Y\r\n");
    EXPECT_EQ(ReplaceJava(d.st, kJad, lone).Status, EditStatus::NoJarBeside);

    // a ".jar" chosen for the ".jad" entry: extensions differ
    const Suite s = MakeSuite(d, "arcade");
    EXPECT_EQ(ReplaceJava(d.st, kJad, s.jar).Status, EditStatus::WrongFileType);
    EXPECT_EQ(d.Used(2), used);

    // a ".jar" alone replaces the JAR entry under its own name
    ASSERT_EQ(ReplaceJava(d.st, kJar, s.jar).Status, EditStatus::Ok);
    EXPECT_EQ(d.st.Firmware.JavaApps[kJar].NewPath, "e:\\S100\\arcade.jar");
    EXPECT_TRUE(d.st.Firmware.JavaApps[kJad].TempName.empty());
    EXPECT_EQ(d.Used(2), used - d.st.Firmware.JavaApps[kJar].Size + 504);

    // the JAR beside a JAD may differ in letter case
    Demo e;
    const Suite upper = MakeSuite(e, "Space", "SPACE.JAR");
    EXPECT_EQ(ReplaceJava(e.st, kJad, upper.jad).Status, EditStatus::Ok);

    // a JAD without vendor gives an empty suite name
    Demo f;
    f.Write("plain.jar", "PK");
    EXPECT_EQ(ReplaceJava(f.st, kJad, f.Write("plain.jad", "MIDlet-Name: Only\r\n")).Status, EditStatus::Ok);
    EXPECT_EQ(f.st.Firmware.JavaApps[kJad].NewPath, "e:\\S100\\.jad");
}

TEST(JavaEdit, PairReplacementOverAReplacedOrDeletedPartnerKeepsUsedExact) {
    Demo d;
    const Suite s = MakeSuite(d, "game");
    const std::string other = d.Write("other.jar", std::string(1000, 'j'));
    auto& apps = d.st.Firmware.JavaApps;
    const int32_t used = d.Used(2);

    ASSERT_EQ(ReplaceJava(d.st, kJar, other).Status, EditStatus::Ok);  // the JAR alone
    ASSERT_EQ(ReplaceJava(d.st, kJad, s.jad).Status, EditStatus::Ok);  // then the pair
    const int64_t jad = FileSizeOf(s.jad), jar = FileSizeOf(s.jar);
    EXPECT_EQ(d.Used(2), used - apps[kJad].Size - apps[kJar].Size + jad + jar);
    ASSERT_EQ(RestoreEntry(d.st, kCatJava, kJar).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(2), used);

    // a partner that is deleted counts nothing before the pair replaces it
    apps[kJar].Deleted = true;  // as an applied patch may leave it
    d.st.Firmware.Regions[2].Used -= apps[kJar].Size;
    ASSERT_EQ(ReplaceJava(d.st, kJad, s.jad).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(2), used - apps[kJad].Size - apps[kJar].Size + jad + jar);
    EXPECT_FALSE(apps[kJar].Deleted);
}

TEST(JavaEdit, DeleteTakesThePartnerAlong) {
    Demo d;
    auto& apps = d.st.Firmware.JavaApps;
    const int32_t used = d.Used(2);
    const Suite s = MakeSuite(d, "game");
    ASSERT_EQ(ReplaceJava(d.st, kJad, s.jad).Status, EditStatus::Ok);

    // deleting the replaced pair takes away the files' sizes
    EditResult r = DeleteEntry(d.st, kCatJava, kJad);
    ASSERT_EQ(r.Status, EditStatus::Ok);
    EXPECT_EQ(r.Rows, (std::vector<int32_t>{kJad, kJar}));
    EXPECT_TRUE(apps[kJad].Deleted && apps[kJar].Deleted);
    EXPECT_TRUE(apps[kJad].TempName.empty() && apps[kJar].TempName.empty());
    EXPECT_EQ(d.Used(2), used - apps[kJad].Size - apps[kJar].Size);
    EXPECT_EQ(DeleteEntry(d.st, kCatJava, kJar).Status, EditStatus::NothingToDo);
    EXPECT_EQ(d.Row(kCatJava, kJar).Size, "0");
    ASSERT_EQ(RestoreEntry(d.st, kCatJava, kJar).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(2), used);
    EXPECT_FALSE(apps[kJad].Deleted || apps[kJar].Deleted);

    // a lone ".jar" without its ".jad" cannot be deleted
    apps[kJad].Path = "E:\\S100\\elsewhere\\#Other.jad";
    EXPECT_EQ(DeleteEntry(d.st, kCatJava, kJar).Status, EditStatus::NoPartner);
    apps[kJad].Path = "E:\\S100\\readme.txt";
    EXPECT_EQ(DeleteEntry(d.st, kCatJava, kJad).Status, EditStatus::NotJavaSuite);
    // ...but a file replaced alone can be restored alone
    ASSERT_EQ(ReplaceJava(d.st, kJad, d.Write("notes.txt", "hello")).Status, EditStatus::Ok);
    ASSERT_EQ(RestoreEntry(d.st, kCatJava, kJad).Status, EditStatus::Ok);
    EXPECT_EQ(d.Used(2), used);
}

}  // namespace
