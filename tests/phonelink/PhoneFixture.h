// A simulated phone on a pseudo-terminal and a session connected to it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "PhoneSim.h"
#include "support/CliRun.h"
#include "phonelink/PhoneSession.h"

namespace flashsmith::test {

// A wait's answer time-out: it only bounds a hang, so a loaded machine never
// reaches it. Tests that expect a time-out set a short one of their own.
inline constexpr int32_t kAnswerTimeOutMs = 10000;

// Polls pred until it holds; false when it still does not after 10 s. For
// what the simulator's thread does a moment after the session moved on.
template <class Pred>
bool Eventually(Pred pred) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= limit) return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class RecordingEvents : public flashsmith::phonelink::PhoneEvents {
public:
    bool ProcessEvents(std::chrono::milliseconds) override {
        if (WhileWaiting) WhileWaiting();
        return false;
    }
    std::function<void()> WhileWaiting;  // runs in every slice of a wait
    void Warning(const std::string& text) override { Warnings.push_back(text); }
    void Error(const std::string& text) override { Errors.push_back(text); }
    void Status(int panel, const std::string& text) override { Panels[panel] = text; }
    std::vector<std::string> Warnings, Errors;
    std::string Panels[4];
};

class PhoneTest : public ::testing::Test {
protected:
    // Starts the simulator; Connect() is left to the test.
    void StartSim(phonesim::Options options = {}) {
        options.QuietMs = 40;
        sim = std::make_unique<phonesim::PhoneSim>(options);
        const flashsmith::base::Status started = sim->Start();
        ASSERT_TRUE(started) << started.Error();
        conn.PortDevice = sim->SlavePath();
        conn.TimeOut = kAnswerTimeOutMs;
        session = std::make_unique<flashsmith::phonelink::PhoneSession>(conn, dir.Str(), &events);
    }
    void Connected(phonesim::Options options = {}) {
        StartSim(options);
        ASSERT_EQ(session->Connect(), flashsmith::phonelink::ConnectResult::kConnected);
    }
    // A wait for a request the simulator leaves unanswered ends ms after it
    // began; answers keep the long time-out. The first request after an
    // unanswered one must reach the simulator within ms, which is all a
    // loaded machine has to manage, rather than a whole exchange.
    void EndUnansweredWaitsAfter(int32_t ms) {
        events.WhileWaiting = [this, ms] { conn.TimeOut = sim && sim->Withholding() ? ms : kAnswerTimeOutMs; };
    }
    std::string Write(const std::string& name, const std::string& data) {
        const std::string path = dir / name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        return path;
    }
    std::string LogText() { return Slurp(dir / "FileMan.log"); }
    size_t CountCommands(const std::string& line) {
        size_t n = 0;
        for (const auto& c : sim->Commands()) n += c == line;
        return n;
    }
    void TearDown() override {
        session.reset();
        if (sim) sim->Stop();
    }

    ScratchDir dir{"phone"};
    flashsmith::phonelink::tConnection conn;
    RecordingEvents events;
    std::unique_ptr<phonesim::PhoneSim> sim;
    std::unique_ptr<flashsmith::phonelink::PhoneSession> session;
};

inline std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 7)) & 0xFF);
    return s;
}

}  // namespace flashsmith::test
