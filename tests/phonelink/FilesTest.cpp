#include <zlib.h>

#include "support/FileSizeLimit.h"
#include "PhoneFixture.h"
#include "base/FileUtil.h"
#include "phonelink/ZipMember.h"

using namespace flashsmith::phonelink;
using namespace flashsmith::test;

namespace {

uint32_t Crc(const std::string& s) {
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

std::vector<std::string> Names(const std::vector<phonesim::File>& files) {
    std::vector<std::string> out;
    for (const auto& f : files) out.push_back(f.Name);
    return out;
}

}  // namespace

TEST_F(PhoneTest, ListsReadEveryKindKeepSlotGapsAndAreCached) {
    phonesim::Options o;
    o.Memory = 100 * 1024;
    o.BlockSize = 256;
    StartSim(o);
    sim->AddFile(1, {"ring", std::string(3000, 'r'), 0});
    sim->AddFile(1, {"gone", "x", 0});
    sim->AddFile(1, {"\xD0\x97\xD0\xB2\xD0\xBE\xD0\xBD", "zz", 0});  // Cyrillic "Zvon" in UTF-8
    sim->AddFile(2, {"logo", std::string(700, 'g'), 2});
    sim->AddFile(3, {"e:\\S100\\#Game.jar", std::string(90, 'j'), 0});
    ASSERT_EQ(session->Connect(), ConnectResult::kConnected);
    ASSERT_TRUE(session->ReadPhoneList(kSounds));
    ASSERT_TRUE(session->DeletePhoneFiles(kSounds, {1}, true) == std::vector<DeleteOutcome>{DeleteOutcome::kDeleted});
    ASSERT_EQ(conn.PhoneSounds.size(), 2u);
    EXPECT_EQ(conn.PhoneSounds[0].Name, "ring");
    EXPECT_EQ(conn.PhoneSounds[0].Size, 3000);
    EXPECT_EQ(conn.PhoneSounds[0].Index, 1);
    EXPECT_EQ(conn.PhoneSounds[1].Index, 3) << "the deleted slot stays free";
    EXPECT_EQ(DisplayName(kSounds, conn.PhoneSounds[1]), "\xD0\x97\xD0\xB2\xD0\xBE\xD0\xBD");
    EXPECT_EQ(conn.MemoryFirst, 100 * 1024 - 3792);
    EXPECT_EQ(conn.MemorySecond, 100 * 1024);
    EXPECT_EQ(conn.BlockSize, 256);
    EXPECT_EQ(MemoryText(conn), "Memory: 96Kb / 100Kb");

    ASSERT_TRUE(session->ReadPhoneList(kImages));
    ASSERT_EQ(conn.PhoneImages.size(), 1u);
    EXPECT_EQ(conn.PhoneImages[0].Size, 700) << "the type after the size is not part of it";
    ASSERT_TRUE(session->ReadPhoneList(kJava));
    ASSERT_EQ(conn.PhoneJavaApps.size(), 1u);
    EXPECT_EQ(DisplayName(kJava, conn.PhoneJavaApps[0]), "e:\\S100\\Game.jar");

    const size_t queries = CountCommands("AT+MELR?");
    ASSERT_TRUE(session->ReadPhoneList(kSounds));
    EXPECT_EQ(CountCommands("AT+MELR?"), queries) << "a filled list is not read again";
    EXPECT_EQ(conn.PhoneSounds.size(), 2u);
}

TEST_F(PhoneTest, SendingAnnouncesSizeAndCrcAndStoresTheBytes) {
    Connected();
    const std::string tone = Pattern(1500, 1), gif = Pattern(700, 2);
    const std::vector<std::string> files = {Write("tone.mmf", tone), Write("pic.gif", gif), Write("bad.jpeg", "x"),
                                            Write("empty.jpg", "")};
    // Sounds take only the .mmf; the others are the wrong type.
    SendBatchResult r = session->SendFilesToPhone(kSounds, files, 512, false, dir.Str());
    EXPECT_EQ(r.Codes, (std::vector<int>{0, -1, -1, -1}));
    r = session->SendFilesToPhone(kImages, files, 256, false, dir.Str());
    EXPECT_EQ(r.Codes, (std::vector<int>{-1, 0, -1, 0})) << ".jpeg does not contain JPG";
    EXPECT_EQ(r.Sent, 2);

    const auto sounds = sim->Slots(1);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_EQ(sounds[0].Name, "tone");
    EXPECT_EQ(sounds[0].Data, tone);
    EXPECT_EQ(CountCommands("AT+MELW=0,\"tone\",4,1500," + std::to_string(Crc(tone))), 1u);
    const auto pics = sim->Slots(2);
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_EQ(pics[0].Data, gif);
    EXPECT_EQ(pics[0].Type, 2);
    EXPECT_EQ(pics[1].Type, 11);
    EXPECT_EQ(pics[1].Data, "");
    EXPECT_EQ(CountCommands("AT+IMGW=0,\"empty\",11,0,0,0,0,100,0,0"), 1u) << "an empty file: size 0, CRC 0";
    EXPECT_EQ(events.Panels[3], MemoryText(conn));
}

TEST_F(PhoneTest, RefusalsGiveTheirCodesAndOnlyARefusedWriteStopsTheBatch) {
    phonesim::Options small;
    small.Memory = 1000;
    Connected(small);
    sim->AddFile(1, {"taken", "t", 0});
    const std::vector<std::string> files = {Write("big.mmf", Pattern(2000, 3)), Write("taken.mmf", "x"),
                                            Write("after.mmf", "y")};
    const SendBatchResult r = session->SendFilesToPhone(kSounds, files, 512, false, dir.Str());
    EXPECT_EQ(r.Codes, (std::vector<int>{-4, -3}));
    EXPECT_TRUE(r.Stopped);
    EXPECT_EQ(events.Warnings, (std::vector<std::string>{"No Memory.", "File already exists."}));
    EXPECT_EQ(Names(sim->Slots(1)), std::vector<std::string>{"taken"});

    EXPECT_EQ(session->SendFileToPhone(dir / "missing.mmf", "missing", 512, kSounds), -2);
    EXPECT_EQ(events.Errors.back(), "File opening error!");
    // A name that would end the command line early never reaches the phone.
    EXPECT_EQ(session->SendFileToPhone(files[2], "a\",1,1\rAT+X", 512, kSounds), -1);

    sim->SetMode(phonesim::Mode::kSilent);
    conn.TimeOut = 150;
    EXPECT_EQ(session->SendFileToPhone(files[2], "after", 512, kSounds), -5) << "blocks that get no answer";
}

TEST_F(PhoneTest, JarGoesWithADescriptorFromItsManifestOtherJavaFilesEscaped) {
    Connected();
    const std::string work = dir / "jar";
    std::filesystem::create_directories(work + "/META-INF");
    Write("jar/META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMIDlet-Name: Snake\r\nMIDlet-Vendor: Acme\r\n");
    Write("jar/Snake.class", Pattern(400, 4));
    ASSERT_EQ(std::system(("cd " + ShellQuote(work) + " && zip -q -r ../Snake.jar META-INF Snake.class").c_str()), 0);
    const std::string other = Write("Read Me.txt", "hello");
    const std::string temp = dir / "Temp";
    std::filesystem::create_directories(temp);

    const SendBatchResult r = session->SendFilesToPhone(kJava, {dir / "Snake.jar", other}, 128, true, temp);
    EXPECT_EQ(r.Codes, (std::vector<int>{0, 0}));
    const auto java = sim->Slots(3);
    ASSERT_EQ(java.size(), 3u);
    EXPECT_EQ(java[0].Name, "e:\\S100\\#Acme_#Snake_suite.jar");
    EXPECT_EQ(java[0].Data, Slurp(dir / "Snake.jar"));
    EXPECT_EQ(java[1].Name, "e:\\S100\\#Acme_#Snake_suite.jad");
    EXPECT_NE(java[1].Data.find("MIDlet-Jar-Size: " + std::to_string(java[0].Data.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(java[2].Name, "e:\\S100\\#Read%0020#Me.txt");
    EXPECT_FALSE(flashsmith::base::FileExists(temp + "/MANIFEST.MF"));
    EXPECT_EQ(conn.PhoneJavaApps.size(), 3u) << "auto refresh read the list again";
}

TEST_F(PhoneTest, DeletingSoundsPicturesAndJava) {
    Connected();
    sim->AddFile(1, {"a", "1", 0});
    sim->AddFile(1, {"b", "2", 0});
    sim->AddFile(2, {"p", "3", 11});
    sim->AddFile(3, {"e:\\S100\\x.jar", "4", 0});
    for (int kind : {kSounds, kImages, kJava}) ASSERT_TRUE(session->ReadPhoneList(kind));
    EXPECT_EQ(session->DeletePhoneFiles(kSounds, {1}, false), std::vector<DeleteOutcome>{DeleteOutcome::kDeleted});
    EXPECT_EQ(session->DeletePhoneFiles(kImages, {0}, false), std::vector<DeleteOutcome>{DeleteOutcome::kDeleted});
    EXPECT_EQ(session->DeletePhoneFiles(kJava, {0}, true), std::vector<DeleteOutcome>{DeleteOutcome::kDeleted});
    EXPECT_EQ(Names(sim->Slots(1)), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(Names(sim->Slots(2)), std::vector<std::string>{""});
    EXPECT_TRUE(conn.PhoneJavaApps.empty());
    EXPECT_EQ(CountCommands("AT+MELW=2,\"\",4,1,0"), 1u);
    EXPECT_EQ(CountCommands("AT+IMGW=1,\"\",11,0,0,0,0,100,1,0"), 1u);
    EXPECT_EQ(CountCommands("AT+IMGC=e:\\S100\\x.jar"), 1u);

    // A slot that is already empty is refused; a phone that stops answering is given up.
    EXPECT_EQ(session->DeletePhoneFiles(kSounds, {1}, false), std::vector<DeleteOutcome>{DeleteOutcome::kRefused});
    sim->SetMode(phonesim::Mode::kSilent);
    conn.TimeOut = 100;
    EXPECT_EQ(session->DeletePhoneFiles(kSounds, {0}, false), std::vector<DeleteOutcome>{DeleteOutcome::kGaveUp});
    const auto attempts = [&] {
        size_t n = 0;
        for (const auto& c : sim->Commands()) n += c.ends_with("AT+MELW=1,\"\",4,1,0");
        return n;
    };
    // The last attempt may still be on its way to the phone.
    EXPECT_TRUE(Eventually([&] { return attempts() >= static_cast<size_t>(PhoneSession::kDeleteAttempts); }));
    EXPECT_EQ(attempts(), static_cast<size_t>(PhoneSession::kDeleteAttempts));
}

TEST_F(PhoneTest, FetchingJavaWritesWholeFilesInsideTheFolderOnly) {
    EndUnansweredWaitsAfter(300);
    phonesim::Options o;
    o.StallAfterPieces = 1;  // the second 128-byte piece never comes
    Connected(o);
    const std::string exact = Pattern(256, 5), odd = Pattern(300, 6);
    sim->AddFile(3, {"e:\\S100\\exact.jar", exact, 0});
    sim->AddFile(3, {"e:\\S100\\..%002F..%002Fodd.jar", odd, 0});
    ASSERT_TRUE(session->ReadPhoneList(kJava));
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    Write("out/exact.jar", "older copy");

    // The stall breaks the 256-byte file: the older copy must survive.
    auto r = session->ReadJavaFromPhone({0}, out);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_FALSE(r[0].Complete);
    EXPECT_EQ(Slurp(out + "/exact.jar"), "older copy");
    EXPECT_EQ(events.Warnings.back(), "AT Error Number ");

    // A phone whose closing "OK" comes a moment after the last piece: it
    // must not be taken for the answer to the next command.
    sim->Stop();
    phonesim::Options slow;
    slow.ClosingOkDelayMs = 100;
    StartSim(slow);
    ASSERT_EQ(session->Connect(), ConnectResult::kConnected);
    sim->AddFile(3, {"e:\\S100\\exact.jar", exact, 0});
    sim->AddFile(3, {"e:\\S100\\..%002F..%002Fodd.jar", odd, 0});
    r = session->ReadJavaFromPhone({0, 1}, out);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(r[0].Complete && r[1].Complete);
    EXPECT_EQ(Slurp(out + "/exact.jar"), exact);
    EXPECT_EQ(r[1].LocalPath, out + "/odd.jar");
    EXPECT_EQ(Slurp(out + "/odd.jar"), odd);
    EXPECT_EQ(events.Warnings.size(), 1u) << "no warning for the second fetch";
    EXPECT_EQ(CleanAnswer(session->SendCommand("AT+CGMM\r", ""), "AT+CGMM\r"), "SGH-X100");

    // No answer to the read command leaves the local file alone.
    sim->SetMode(phonesim::Mode::kSilent);
    r = session->ReadJavaFromPhone({0}, out);
    EXPECT_FALSE(r[0].Complete);
    EXPECT_EQ(Slurp(out + "/exact.jar"), exact);
}

TEST(ZipMember, ManifestFoundInAnyCaseAndBrokenArchivesRefused) {
    ScratchDir dir("zip");
    std::filesystem::create_directories(dir / "src/meta-inf");
    std::string manifest = "Manifest-Version: 1.0\r\n";
    for (unsigned x = 1; manifest.size() < 6000;) manifest += static_cast<char>('a' + (x = x * 1103515245u + 12345u) % 26);
    {
        std::FILE* f = std::fopen((dir / "src/meta-inf/manifest.mf").c_str(), "wb");
        std::fwrite(manifest.data(), 1, manifest.size(), f);
        std::fclose(f);
    }
    ASSERT_EQ(std::system(("cd " + ShellQuote(dir / "src") + " && zip -q -r ../a.jar meta-inf").c_str()), 0);
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    EXPECT_EQ(ExtractZipMember(dir / "a.jar", "META-INF\\MANIFEST.MF", out), out + "/MANIFEST.MF");
    EXPECT_EQ(Slurp(out + "/MANIFEST.MF"), manifest);
    EXPECT_EQ(ExtractZipMember(dir / "a.jar", "META-INF/OTHER.MF", out), "");

    // A damaged archive writes nothing and keeps the previous file.
    std::string bytes = Slurp(dir / "a.jar");
    bytes[bytes.size() / 2] ^= 0x55;  // inside the deflated data
    {
        std::FILE* f = std::fopen((dir / "bad.jar").c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    EXPECT_EQ(ExtractZipMember(dir / "bad.jar", "META-INF/MANIFEST.MF", out), "");
    EXPECT_EQ(ExtractZipMember(dir / "not-there.jar", "META-INF/MANIFEST.MF", out), "");
    EXPECT_EQ(Slurp(out + "/MANIFEST.MF"), manifest);
}

TEST_F(PhoneTest, ALineDroppedInATransferIsReportedAndTheNextCommandWorks) {
    phonesim::Options o;
    o.DropAfterBytes = 700;  // inside the second of three blocks
    EndUnansweredWaitsAfter(500);
    Connected(o);
    const std::string tone = Pattern(1500, 7);
    const std::vector<std::string> files = {Write("tone.mmf", tone), Write("next.mmf", "after the drop")};
    const SendBatchResult r = session->SendFilesToPhone(kSounds, files, 512, true, dir.Str());
    EXPECT_EQ(r.Codes, (std::vector<int>{kSendBlockFailed, kSendOk}));
    EXPECT_FALSE(r.Stopped);
    // The broken file is not stored; the phone took the next one and lists it.
    EXPECT_EQ(Names(sim->Slots(1)), std::vector<std::string>{"next"});
    ASSERT_EQ(conn.PhoneSounds.size(), 1u);
    EXPECT_EQ(conn.PhoneSounds[0].Name, "next");
    EXPECT_EQ(session->SendFileToPhone(files[0], "tone", 512, kSounds), kSendOk) << "sent whole the second time";
    EXPECT_EQ(sim->Slots(1).back().Data, tone);
}

TEST_F(PhoneTest, AFetchedFileThatDoesNotFitKeepsTheEarlierCopy) {
    Connected();
    const std::string big = Pattern(4096, 8);
    sim->AddFile(3, {"e:\\S100\\big.jar", big, 0});
    ASSERT_TRUE(session->ReadPhoneList(kJava));
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    Write("out/big.jar", "older copy");
    const auto r = [&] {
        flashsmith::test::FileSizeLimit limit(1024);
        return session->ReadJavaFromPhone({0}, out);
    }();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_FALSE(r[0].Complete);
    EXPECT_EQ(Slurp(out + "/big.jar"), "older copy");
    for (const auto& e : std::filesystem::directory_iterator(out))
        EXPECT_EQ(e.path().filename(), "big.jar") << "no temporary file is left";
    // The link is fine: the next command works.
    EXPECT_TRUE(session->ReadPhoneList(kJava));
    ASSERT_EQ(conn.PhoneJavaApps.size(), 1u);
}
