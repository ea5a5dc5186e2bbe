// phonesim: a simulated phone on a pseudo-terminal, for trying the phone
// link without a phone and for the tests.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <unistd.h>

#include "PhoneSim.h"
#include "base/FileUtil.h"
#include "base/Numbers.h"
#include "firmware/JavaNames.h"
#include "base/Text.h"

namespace {

const char kUsage[] =
    "usage: phonesim [OPTIONS]\n"
    "\n"
    "Opens a pseudo-terminal, prints its path on stdout and answers the AT dialogue of\n"
    "an SGH phone on it until interrupted (Ctrl-C) or the time given by --exit-after.\n"
    "Attach it as a COM port with FLASHSMITH_COMPORTS=COM5=<path>, or pass the path to\n"
    "'flashsmith-cli phone ... --port <path>'.\n"
    "\n"
    "  --pty-file FILE       also write the path into FILE (written whole, then renamed)\n"
    "  --seed DIR            load DIR/sounds/*, DIR/images/* and DIR/java/* into the store\n"
    "  --sound FILE          store a sound (phone name: the file name without extension)\n"
    "  --image FILE          store a picture (.gif type 2, else JPEG type 11)\n"
    "  --java FILE           store a Java file (phone name: e:\\S100\\ + escaped file name)\n"
    "  --save DIR            on exit, write the stored files into DIR/sounds, images, java\n"
    "  --manufacturer TEXT   answer to AT+CGMI (default \"Samsung Electronics\")\n"
    "  --model TEXT          answer to AT+CGMM (default SGH-X100)\n"
    "  --firmware TEXT       version field of AT+INFO (default X100XXJC1)\n"
    "  --imei TEXT, --imsi TEXT\n"
    "  --memory BYTES        storage size (default 1048576)\n"
    "  --block-size N        block size reported to the phone link (default 512)\n"
    "  --ignore-resets N     leave the first N \"ATZ\" unanswered\n"
    "  --drop-after BYTES    drop the line once, BYTES into a file sent to the phone\n"
    "  --no-echo             do not echo command lines\n"
    "  --mode MODE           normal | silent (never answers) | garbage (answers that never\n"
    "                        end) | overlong (40000 bytes before each OK)\n"
    "  --exit-after SECONDS  stop after this time\n"
    "  --help                this text\n";

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

bool LoadFile(phonesim::PhoneSim& sim, int kind, const std::string& path) {
    std::string data;
    if (!flashsmith::base::ReadWholeFile(path, data)) {
        std::cerr << "phonesim: cannot read " << path << "\n";
        return false;
    }
    const std::filesystem::path p(path);
    phonesim::File f;
    f.Data = std::move(data);
    if (kind == 3) {
        f.Name = "e:\\S100\\" + flashsmith::firmware::EscapeName(p.filename().string());
    } else {
        f.Name = p.stem().string();
        f.Type = flashsmith::base::UpperAscii(p.extension().string()) == ".GIF" ? 2 : 11;
    }
    sim.AddFile(kind, std::move(f));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    phonesim::Options opt;
    std::string ptyFile, saveDir;
    std::vector<std::pair<int, std::string>> files;
    double exitAfter = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "phonesim: " << a << " needs a value\n" << kUsage;
                std::exit(2);
            }
            return argv[++i];
        };
        auto number = [&]() -> long long {
            const std::string v = value();
            const long long n = flashsmith::base::ParseInteger(v, flashsmith::base::kNumberSign).value_or(-1);
            if (n < 0) {
                std::cerr << "phonesim: " << a << " needs a number, not '" << v << "'\n";
                std::exit(2);
            }
            return n;
        };
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--pty-file") ptyFile = value();
        else if (a == "--save") saveDir = value();
        else if (a == "--sound") files.emplace_back(1, value());
        else if (a == "--image") files.emplace_back(2, value());
        else if (a == "--java") files.emplace_back(3, value());
        else if (a == "--seed") {
            const std::string dir = value();
            const char* sub[] = {"", "sounds", "images", "java"};
            for (int kind = 1; kind <= 3; ++kind) {
                std::error_code ec;
                std::vector<std::string> names;
                for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir) / sub[kind], ec))
                    if (e.is_regular_file()) names.push_back(e.path().string());
                std::sort(names.begin(), names.end());
                for (auto& n : names) files.emplace_back(kind, n);
            }
        } else if (a == "--manufacturer") opt.Manufacturer = value();
        else if (a == "--model") opt.Model = value();
        else if (a == "--firmware") opt.Firmware = value();
        else if (a == "--imei") opt.Imei = value();
        else if (a == "--imsi") opt.Imsi = value();
        else if (a == "--memory") opt.Memory = number();
        else if (a == "--block-size") opt.BlockSize = static_cast<int32_t>(number());
        else if (a == "--ignore-resets") opt.IgnoreResets = static_cast<int>(number());
        else if (a == "--drop-after") opt.DropAfterBytes = number();
        else if (a == "--exit-after") exitAfter = static_cast<double>(number());
        else if (a == "--no-echo") opt.Echo = false;
        else if (a == "--mode") {
            const std::string m = value();
            if (m == "normal") opt.mode = phonesim::Mode::kNormal;
            else if (m == "silent") opt.mode = phonesim::Mode::kSilent;
            else if (m == "garbage") opt.mode = phonesim::Mode::kGarbage;
            else if (m == "overlong") opt.mode = phonesim::Mode::kOverlong;
            else {
                std::cerr << "phonesim: unknown mode " << m << "\n";
                return 2;
            }
        } else {
            std::cerr << "phonesim: unknown option " << a << "\n" << kUsage;
            return 2;
        }
    }
    phonesim::PhoneSim sim(opt);
    for (const auto& [kind, path] : files)
        if (!LoadFile(sim, kind, path)) return 1;
    if (const flashsmith::base::Status started = sim.Start(); !started) {
        std::cerr << "phonesim: " << started.Error() << "\n";
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::cout << sim.SlavePath() << std::endl;
    const flashsmith::base::Status written =
        ptyFile.empty() ? flashsmith::base::Status() : flashsmith::base::WriteFileAtomic(ptyFile, sim.SlavePath() + "\n");
    if (!written) {
        std::cerr << "phonesim: " << written.Error() << "\n";
        return 1;
    }
    for (int tenths = 0; !g_stop && (exitAfter <= 0 || tenths < exitAfter * 10); ++tenths) ::usleep(100000);
    sim.Stop();
    if (!saveDir.empty()) {
        const char* sub[] = {"", "sounds", "images", "java"};
        for (int kind = 1; kind <= 3; ++kind) {
            const std::string dir = flashsmith::base::JoinPath(saveDir, sub[kind]);
            std::filesystem::create_directories(dir);
            for (const auto& f : sim.Slots(kind)) {
                if (f.Name.empty()) continue;
                std::string name = kind == 3 ? flashsmith::firmware::UnescapeName(f.Name) : f.Name;
                if (size_t p = name.find_last_of("/\\"); p != std::string::npos) name.erase(0, p + 1);
                if (name.empty() || name == "." || name == "..") continue;
                if (kind == 1) name += ".mmf";
                if (kind == 2) name += f.Type == 2 ? ".gif" : ".jpg";
                flashsmith::base::WriteFileAtomic(flashsmith::base::JoinPath(dir, name), f.Data);
            }
        }
    }
    return 0;
}
