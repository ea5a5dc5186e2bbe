// A simulated phone on a pseudo-terminal and a session connected to it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "PhoneSim.h"
#include "support/CliRun.h"
#include "phonelink/PhoneSession.h"

namespace flashsmith::test {

class RecordingEvents : public flashsmith::phonelink::PhoneEvents {
public:
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
        conn.TimeOut = 2000;
        session = std::make_unique<flashsmith::phonelink::PhoneSession>(conn, dir.Str(), &events);
    }
    void Connected(phonesim::Options options = {}) {
        StartSim(options);
        ASSERT_EQ(session->Connect(), flashsmith::phonelink::ConnectResult::kConnected);
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
