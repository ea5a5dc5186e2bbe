// The phone subcommand against the phonesim program, both as separate processes.
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

#include "PhoneFixture.h"

using namespace flashsmith::test;

extern char** environ;

TEST(CliPhone, SendListDeleteFetchAgainstThePhonesimProgram) {
    const char* simPath = std::getenv("PHONESIM");
    ASSERT_NE(simPath, nullptr);
    ScratchDir dir("cliphone");
    {
        std::FILE* f = std::fopen((dir / "tone.mmf").c_str(), "wb");
        std::fputs("tone bytes", f);
        std::fclose(f);
    }
    std::vector<std::string> argv = {simPath, "--pty-file", dir / "pty", "--exit-after", "120"};
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(::posix_spawn(&pid, simPath, nullptr, nullptr, cargv.data(), environ), 0);
    std::string pty;
    ASSERT_TRUE(Eventually([&] { return !(pty = Slurp(dir / "pty")).empty(); }));
    pty.pop_back();
    const std::vector<std::string> common = {"--port", pty, "--log-dir", dir.Str(), "--timeout", std::to_string(kAnswerTimeOutMs)};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "phone");
        args.insert(args.end(), common.begin(), common.end());
        return RunCli(args);
    };

    CliResult r = run({"send", "sounds", dir / "tone.mmf", dir / "missing.mmf"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "sent " + (dir / "tone.mmf") + "\n");
    EXPECT_NE(r.Err.find("missing.mmf: File opening error!"), std::string::npos);
    r = run({"send", "sounds", dir / "tone.mmf"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("warning: File already exists."), std::string::npos);

    r = run({"list", "sounds", "--json"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "[{\"name\":\"tone\",\"size\":10,\"index\":1}]\n");

    r = run({"send", "java", dir / "tone.mmf"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    r = run({"fetch", "tone.mmf", "--to", dir / "."});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Slurp(dir / "tone.mmf"), "tone bytes");

    r = run({"delete", "sounds", "#1", "nothere"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("no file 'nothere'"), std::string::npos);
    r = run({"delete", "sounds", "#1"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    r = run({"list", "sounds"});
    EXPECT_EQ(r.Out, "Memory: 1023Kb / 1024Kb\n");
    EXPECT_NE(Slurp(dir / "FileMan.log").find("Phone Connected At "), std::string::npos);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);

    r = RunCli({"phone", "info", "--port", dir / "no-such-tty", "--log-dir", dir.Str()});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "error: Error #-10 while opening COM port\n");
    EXPECT_EQ(RunCli({"phone", "list", "things", "--port", "COM1"}).Code, 2);
}
