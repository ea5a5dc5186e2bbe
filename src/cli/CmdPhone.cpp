// flashsmith-cli phone: the phone file manager from the command line.
#include <filesystem>
#include <iostream>
#include <unistd.h>

#include "cli/Command.h"
#include "cli/Json.h"
#include "base/FileUtil.h"
#include "firmware/ProgramDir.h"
#include "phonelink/ComPortMap.h"
#include "phonelink/PhoneSession.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

using namespace flashsmith::phonelink;

const char kUsage[] =
    "usage: flashsmith-cli phone info   --port PORT [COMMON]\n"
    "       flashsmith-cli phone list   KIND --port PORT [COMMON] [--json]\n"
    "       flashsmith-cli phone send   KIND FILE... --port PORT [COMMON] [--block-size auto|N]\n"
    "       flashsmith-cli phone delete KIND NAME... --port PORT [COMMON]\n"
    "       flashsmith-cli phone fetch  NAME... --to DIR --port PORT [COMMON]\n"
    "\n"
    "Talks to a phone with AT commands over a serial port: identifies it, lists, sends,\n"
    "deletes and fetches its stored files.\n"
    "  KIND              sounds | images | java\n"
    "  --port PORT       a device path (/dev/ttyUSB0, a phonesim pseudo-terminal) or COMn,\n"
    "                    mapped as the GUI does (COM1-32 /dev/ttyS*, COM33-48 /dev/ttyUSB*,\n"
    "                    COM49-64 /dev/ttyACM*; FLASHSMITH_COMPORTS=COM5=PATH attaches others)\n"
    "COMMON:\n"
    "  --baud N          57600, 115200 (default), 128000 or 230400\n"
    "  --timeout MS      answer time-out in milliseconds (default 2500)\n"
    "  --log-dir DIR     folder of FileMan.log (default: the program folder)\n"
    "list: one line per file: slot, size and name, tab-separated (--json: an array of\n"
    "  {\"name\", \"size\", \"index\"}); info prints the model, firmware, IMEI and IMSI.\n"
    "send: sounds need .mmf files, images .gif or .jpg; java takes .jar archives (sent with\n"
    "  a descriptor made from their manifest) and any other file. --block-size auto (the\n"
    "  default) takes the phone's figure; below 32 becomes 1024.\n"
    "delete: NAME is a name as listed, or #SLOT for the slot number.\n"
    "fetch: reads Java files (names as listed) into DIR.\n"
    "Phone refusals are printed as warnings; the exit code is 1 when any step failed.\n";

class CliEvents : public PhoneEvents {
public:
    void Warning(const std::string& text) override { std::cerr << "warning: " << text << "\n"; }
    void Error(const std::string& text) override { std::cerr << "error: " << text << "\n"; }
};

int KindOf(const std::string& text) {
    if (text == "sounds") return kSounds;
    if (text == "images") return kImages;
    if (text == "java") return kJava;
    return 0;
}

std::string ConnectFailure(ConnectResult r, int32_t code) {
    switch (r) {
    case ConnectResult::kPortError: return "Error #" + std::to_string(code) + " while opening COM port";
    case ConnectResult::kNoAnswer: return "Error! Phone does not answer (ATZ command)";
    case ConnectResult::kNotSupported: return "Error! Phone Model not Supported";
    default: return "the phone is busy";
    }
}

std::string SendFailure(int code) {
    switch (code) {
    case kSendWrongType: return "the file type does not fit the kind";
    case kSendOpenFailed: return "File opening error!";
    case kSendRefused: return "the phone refused the write command";
    case kSendNoMemory: return "No Memory.";
    default: return "a data block was refused or not answered";
    }
}

// Positions in the list of the entries named (display name, raw name, its
// last component, or #slot); false with a message when one is not there.
bool Select(int kind, const std::vector<tPhoneFile>& list, const std::vector<std::string>& names,
            std::vector<size_t>* out) {
    for (const std::string& want : names) {
        bool found = false;
        for (size_t i = 0; i < list.size() && !found; ++i) {
            const std::string shown = DisplayName(kind, list[i]);
            const size_t slash = shown.find_last_of('\\');
            const std::string last = slash == std::string::npos ? shown : shown.substr(slash + 1);
            if (want == shown || want == list[i].Name || want == last ||
                (want.size() > 1 && want[0] == '#' && want.substr(1) == std::to_string(list[i].Index))) {
                out->push_back(i);
                found = true;
            }
        }
        if (!found) {
            Fail("no file '" + want + "' on the phone");
            return false;
        }
    }
    return true;
}

// One phone command: the session is connected when it runs.
struct PhoneCall {
    const ArgParser& p;
    PhoneSession& session;
    tConnection& conn;
    int kind;
    const std::vector<std::string>& names;
    const std::string& blockChoice;
};

int PhoneInfo(PhoneCall& c) {
    std::cout << "Model: " << c.conn.Model << "\nFirmware: " << c.conn.FirmwareVersion << "\nIMEI: " << c.conn.IMEI
              << "\nIMSI: " << c.conn.IMSI << "\n";
    return kExitOk;
}

int PhoneListFiles(PhoneCall& c) {
    if (!c.session.ReadPhoneList(c.kind)) return Fail("the phone refused the list query");
    if (c.p.Has("--json")) {
        Json files = Json::array();
        for (const auto& f : PhoneList(c.conn, c.kind))
            files.push_back(Json{{"name", ByteText(DisplayName(c.kind, f))}, {"size", f.Size}, {"index", f.Index}});
        PrintJson(files);
        return kExitOk;
    }
    for (const auto& f : PhoneList(c.conn, c.kind))
        std::cout << f.Index << "\t" << f.Size << "\t" << DisplayName(c.kind, f) << "\n";
    if (c.kind != kJava) std::cout << MemoryText(c.conn) << "\n";
    return kExitOk;
}

int PhoneSend(PhoneCall& c) {
    // The phone's block size comes with its memory figures.
    if (c.blockChoice == "Auto" && !c.session.ReadPhoneList(c.kind)) return Fail("the phone refused the list query");
    const int blockSize = BlockSizeFromChoice(c.blockChoice, c.conn.BlockSize);
    const std::string temp = JoinPath(DefaultProgramDir(), "Temp");
    if (c.kind == kJava) {
        std::error_code ec;
        std::filesystem::create_directories(temp, ec);
    }
    const SendBatchResult r = c.session.SendFilesToPhone(c.kind, c.names, blockSize, false, temp);
    int result = kExitOk;
    for (size_t i = 0; i < c.names.size(); ++i) {
        if (i >= r.Codes.size()) {
            std::cerr << "error: " << c.names[i] << ": not sent, the batch stopped\n";
            result = kExitFailed;
        } else if (r.Codes[i] != kSendOk) {
            std::cerr << "error: " << c.names[i] << ": " << SendFailure(r.Codes[i]) << "\n";
            result = kExitFailed;
        } else {
            std::cout << "sent " << c.names[i] << "\n";
        }
    }
    return result;
}

// The positions of the named files in a fresh list; false after the message.
bool SelectListed(PhoneCall& c, std::vector<size_t>* selected, int* result) {
    if (!c.session.ReadPhoneList(c.kind)) {
        *result = Fail("the phone refused the list query");
        return false;
    }
    if (!Select(c.kind, PhoneList(c.conn, c.kind), c.names, selected)) {
        *result = kExitFailed;
        return false;
    }
    return true;
}

int PhoneDelete(PhoneCall& c) {
    std::vector<size_t> selected;
    int result = kExitOk;
    if (!SelectListed(c, &selected, &result)) return result;
    const auto outcomes = c.session.DeletePhoneFiles(c.kind, selected, false);
    for (size_t i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i] == DeleteOutcome::kDeleted) {
            std::cout << "deleted " << c.names[i] << "\n";
        } else {
            std::cerr << "error: " << c.names[i]
                      << (outcomes[i] == DeleteOutcome::kRefused ? ": the phone refused the deletion\n"
                                                                 : ": the phone did not confirm the deletion\n");
            result = kExitFailed;
        }
    }
    return result;
}

int PhoneFetch(PhoneCall& c) {
    std::vector<size_t> selected;
    int result = kExitOk;
    if (!SelectListed(c, &selected, &result)) return result;
    const auto outcomes = c.session.ReadJavaFromPhone(selected, *c.p.Get("--to"));
    for (size_t i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i].Complete) {
            std::cout << "fetched " << outcomes[i].LocalPath << "\n";
        } else {
            std::cerr << "error: " << c.names[i]
                      << (outcomes[i].LocalPath.empty() ? ": the phone refused the read\n"
                                                        : ": the transfer broke off; nothing written\n");
            result = kExitFailed;
        }
    }
    return result;
}

struct PhoneAction {
    const char* name;
    bool takesKind;   // KIND follows the action
    int fixedKind;    // the kind of an action without KIND (fetch reads Java); 0: none
    bool takesNames;  // at least one NAME or FILE; else none
    bool needsTo;     // --to DIR is required
    int (*run)(PhoneCall& call);
};

constexpr PhoneAction kActions[] = {
    {"info", false, 0, false, false, PhoneInfo},     {"list", true, 0, false, false, PhoneListFiles},
    {"send", true, 0, true, false, PhoneSend},       {"delete", true, 0, true, false, PhoneDelete},
    {"fetch", false, kJava, true, true, PhoneFetch},
};

}  // namespace

int RunPhone(const Args& args) {
    ArgParser p(kUsage);
    p.Option("--port").Option("--baud").Option("--timeout").Option("--log-dir").Option("--block-size").Option("--to");
    p.Flag("--json");
    int exitCode = kExitOk;
    if (!p.Parse(args, 1, 1u << 20, &exitCode)) return exitCode;
    const auto& pos = p.Positionals();
    const std::string& name = pos[0];
    const PhoneAction* action = nullptr;
    for (const PhoneAction& a : kActions)
        if (name == a.name) action = &a;
    if (!action) return UsageError("unknown phone command '" + name + "'\n" + p.Usage());
    int kind = action->fixedKind;
    size_t first = 1;
    if (action->takesKind) {
        if (pos.size() < 2 || !(kind = KindOf(pos[1]))) return UsageError("KIND must be sounds, images or java\n" + p.Usage());
        first = 2;
    }
    const std::vector<std::string> names(pos.begin() + static_cast<std::ptrdiff_t>(first), pos.end());
    if (!action->takesNames && !names.empty()) return UsageError("too many arguments\n" + p.Usage());
    if (action->takesNames && names.empty()) return UsageError("name at least one file\n" + p.Usage());
    if (action->needsTo && !p.Get("--to")) return UsageError("fetch needs --to DIR\n" + p.Usage());

    tConnection conn;
    const auto port = p.Get("--port");
    if (!port) return UsageError("--port is required\n" + p.Usage());
    if (const int n = ComPortNumberFromName(*port)) conn.ComPortNumber = n;
    else conn.PortDevice = *port;
    int64_t v;
    if (auto b = p.Get("--baud")) {
        if (!ParseCliNumber(*b, &v) || (v != 57600 && v != 115200 && v != 128000 && v != 230400))
            return UsageError("--baud must be 57600, 115200, 128000 or 230400");
        conn.BaudRate = static_cast<int32_t>(v);
    }
    if (auto t = p.Get("--timeout")) {
        if (!ParseCliNumber(*t, &v) || v < 1 || v > 600000) return UsageError("--timeout needs 1 to 600000 ms");
        conn.TimeOut = static_cast<int32_t>(v);
    }
    std::string blockChoice = p.Get("--block-size").value_or("auto");
    if (blockChoice == "auto") blockChoice = "Auto";
    else if (!ParseCliNumber(blockChoice, &v) || v < 1) return UsageError("--block-size needs auto or a number");
    else blockChoice = std::to_string(v);
    if (p.Get("--to") && !DirExists(*p.Get("--to"))) return Fail("no folder " + *p.Get("--to"));

    CliEvents events;
    const std::string logDir = p.Get("--log-dir").value_or(DefaultProgramDir());
    PhoneSession session(conn, logDir, &events);
    if (const ConnectResult r = session.Connect(); r != ConnectResult::kConnected) {
        // The port's code is gone with the port; read it back from a fresh open.
        int32_t code = 0;
        if (r == ConnectResult::kPortError) {
            TComPort probe(conn.PortDevice.empty() ? ComPortDevice(conn.ComPortNumber) : conn.PortDevice, conn.BaudRate);
            code = probe.ErrorCode() ? probe.ErrorCode() : kOpenFailed;
        }
        return Fail(ConnectFailure(r, code));
    }

    PhoneCall call{p, session, conn, kind, names, blockChoice};
    const int result = action->run(call);
    session.Disconnect();
    return result;
}

}  // namespace flashsmith::cli
