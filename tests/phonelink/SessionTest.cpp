#include "support/BoundedRun.h"
#include "PhoneFixture.h"

using namespace flashsmith::phonelink;
using namespace flashsmith::test;

TEST(AnswerText, CleaningErrorsNumbersAndNames) {
    EXPECT_EQ(CleanAnswer("\r\nSGH-X100\r\n\r\nOK\r\n", "AT+CGMM\r"), "SGH-X100");
    EXPECT_EQ(CleanAnswer("AT+CGMM\r\r\nBOOK\r\nOK\r\n", "AT+CGMM\r"), "BO") << "OK inside a name goes too";
    EXPECT_EQ(CleanAnswer("OOKK", ""), "") << "removed until none is left";
    EXPECT_EQ(CleanAnswer("O\r\nOK\nK!KO", ""), "!KO") << "line ends go before the OKs";

    // A faulty phone's answer of nested OKs costs one pass, not one per OK.
    const std::string nested = std::string(1 << 19, 'O') + std::string(1 << 19, 'K') + "x";
    const auto cost = RunBounded([&] { return CleanAnswer(nested, "") == "x"; });
    EXPECT_TRUE(cost.WithinBounds() && cost.ExitCode == 0) << cost;

    EXPECT_EQ(PhoneErrorText("\r\nOK\r\n"), "");
    EXPECT_EQ(PhoneErrorText("\r\nERROR:53\r\n"), "File already exists.");
    EXPECT_EQ(PhoneErrorText("+CME ERROR:NOMEMORY\r\n"), "No Memory.");
    EXPECT_EQ(PhoneErrorText("+CME ERROR: 21\r\n"), "AT Error Number  21");
    EXPECT_EQ(PhoneErrorText("Mirel ERROR:-1"), "AT Error Number ");

    EXPECT_EQ(StrToIntDef0(" 42 "), 42);
    EXPECT_EQ(StrToIntDef0("-7"), -7);
    EXPECT_EQ(StrToIntDef0("12a"), 0);
    EXPECT_EQ(StrToIntDef0("99999999999"), 0);
    // the 32-bit range exactly; only blanks are trimmed, not tabs
    EXPECT_EQ(StrToIntDef0("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToIntDef0("2147483648"), 0);
    EXPECT_EQ(StrToIntDef0("\t5"), 0);
    EXPECT_EQ(StrToIntDef0("+"), 0);
    EXPECT_EQ(BlockSizeFromChoice("Auto", 512), 512);
    EXPECT_EQ(BlockSizeFromChoice("Auto", 0), 1024);
    EXPECT_EQ(BlockSizeFromChoice("16", 0), 1024);
    EXPECT_EQ(BlockSizeFromChoice("Auto", 2000000000), 32768) << "a phone's figure is bounded";

    EXPECT_EQ(SafeLocalName("e:\\S100\\game.jar"), "game.jar");
    EXPECT_EQ(SafeLocalName("../../.bashrc"), ".bashrc");
    EXPECT_EQ(SafeLocalName(".."), "phone_file");
    EXPECT_EQ(SafeLocalName("a\r\nb"), "a__b");
}

TEST_F(PhoneTest, ConnectIdentifiesLogsAndDisconnectKeepsTheLists) {
    phonesim::Options o;
    o.Model = "SGH-D500";
    o.Firmware = "D500XEEE2";
    Connected(o);
    EXPECT_TRUE(conn.Connected);
    EXPECT_FALSE(conn.Busy);
    EXPECT_EQ(conn.Model, "SGH-D500");
    EXPECT_EQ(conn.FirmwareVersion, "D500XEEE2");
    EXPECT_EQ(conn.IMEI, "351234567890123");
    EXPECT_EQ(conn.IMSI, "250011234567890");
    EXPECT_EQ(events.Panels[0], "Model: SGH-D500");
    EXPECT_EQ(events.Panels[1], "Firmware: D500XEEE2");
    EXPECT_EQ(events.Panels[2], "IMEI: 351234567890123");
    EXPECT_EQ(sim->Commands(), (std::vector<std::string>{"ATZ", "AT+CGMI", "AT+CGMM", "AT+INFO", "AT+CGSN", "AT+CIMI"}));
    EXPECT_EQ(LogText().rfind("Phone Connected At ", 0), 0u);
    EXPECT_EQ(LogText().substr(LogText().size() - 2), "\r\n");
    EXPECT_EQ(session->Connect(), ConnectResult::kBusy);

    conn.PhoneSounds.push_back({"kept", 1, 1});
    session->Disconnect();
    EXPECT_FALSE(conn.Connected);
    EXPECT_EQ(conn.Port, nullptr);
    EXPECT_EQ(events.Panels[0], "Disconnected");
    EXPECT_EQ(events.Panels[2], "");
    EXPECT_EQ(conn.PhoneSounds.size(), 1u);
    EXPECT_EQ(sim->Commands().back(), "ATZ");
    // The port is free again for the next connect.
    EXPECT_EQ(session->Connect(), ConnectResult::kConnected);
}

TEST_F(PhoneTest, ConnectFailuresOnlyLog) {
    conn.PortDevice = "/nonexistent/tty";
    PhoneSession lone(conn, dir.Str(), &events);
    EXPECT_EQ(lone.Connect(), ConnectResult::kPortError);
    EXPECT_FALSE(conn.Busy);
    EXPECT_EQ(conn.Port, nullptr);
    EXPECT_EQ(LogText().rfind("Error #-10 while opening COM port At ", 0), 0u);

    phonesim::Options nokia;
    nokia.Manufacturer = "Nokia";
    StartSim(nokia);
    EXPECT_EQ(session->Connect(), ConnectResult::kNotSupported);
    EXPECT_NE(LogText().find("Error! Phone Model not Supported At "), std::string::npos);
    EXPECT_FALSE(conn.Connected || conn.Busy);
}

TEST_F(PhoneTest, FourthResetAnswerCountsTheFifthDoesNot) {
    EndUnansweredWaitsAfter(500);
    phonesim::Options late;
    late.IgnoreResets = 3;
    StartSim(late);
    EXPECT_EQ(session->Connect(), ConnectResult::kConnected);
    session->Disconnect();
    sim->Stop();

    phonesim::Options later;
    later.IgnoreResets = 4;
    StartSim(later);
    EXPECT_EQ(session->Connect(), ConnectResult::kNoAnswer);
    EXPECT_TRUE(Eventually([&] { return CountCommands("ATZ") >= 5; }));
    EXPECT_EQ(CountCommands("ATZ"), 5u);
    EXPECT_NE(LogText().find("Error! Phone does not answer (ATZ command) At "), std::string::npos);
}

TEST_F(PhoneTest, SilentGarbageAndOverlongAnswersEndInTimeOuts) {
    Connected();
    conn.TimeOut = 200;
    for (auto mode : {phonesim::Mode::kSilent, phonesim::Mode::kGarbage, phonesim::Mode::kOverlong}) {
        sim->SetMode(mode);
        const size_t before = sim->Commands().size();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(session->SendCommand("AT+CGMM\r", ""), "");
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(190));
        // The wait ends at its time-out and does not go on; the margin is
        // for a loaded machine.
        EXPECT_LT(took, std::chrono::milliseconds(5000));
        // The next mode must not apply to this command.
        ASSERT_TRUE(Eventually([&] { return sim->Commands().size() > before; }));
        session->SendCommand("", "");  // takes in what is left of the answer
    }
    // An overlong answer is cut at the receive buffer's size.
    sim->SetMode(phonesim::Mode::kOverlong);
    conn.TimeOut = kAnswerTimeOutMs;
    conn.Port->Write("AT\r");
    std::string data, rest;
    ASSERT_TRUE(session->ReadRawBytes(PhoneSession::kRxBufferSize, data, rest));
    EXPECT_EQ(data.size(), PhoneSession::kRxBufferSize);
    EXPECT_EQ(rest, "");
    EXPECT_FALSE(session->ReadRawBytes(PhoneSession::kRxBufferSize + 1, data, rest));
    EXPECT_EQ(rest, "Mirel ERROR:-1");
}

TEST_F(PhoneTest, FailedExchangesAreLoggedExceptTimeOutSentinels) {
    Connected();
    const size_t before = LogText().size();
    const std::string a = session->SendCommand("AT+BOGUS\r", "");
    EXPECT_EQ(a, "\r\nERROR\r\n") << "echo removed";
    EXPECT_EQ(LogText().substr(before), "AT+BOGUS\rAT+BOGUS\r\r\nERROR\r\n");
    EXPECT_TRUE(session->CheckPhoneError("Mirel ERROR:-1"));
    EXPECT_EQ(events.Warnings.back(), "AT Error Number ");
}
