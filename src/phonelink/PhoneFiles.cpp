// The phone's stored files: lists, sending, deleting and reading Java
// applications, as sequences of the session's exchanges.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <zlib.h>

#include "base/FileHandle.h"
#include "base/FileUtil.h"
#include "base/Cp1251.h"
#include "firmware/JavaNames.h"
#include "base/Text.h"
#include "phonelink/PhoneSession.h"
#include "phonelink/ZipMember.h"

namespace flashsmith::phonelink {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

const std::string kListReset("ATZ\r\0", 5);

bool ValidUtf8(const std::string& s) { return !s.empty() && !AnsiFromUtf8(s).empty(); }

// Texts that go into an AT command line must not end it early or smuggle in
// a second command.
bool SafeInCommand(const std::string& text, bool quoted) {
    for (char c : text)
        if (c == '\r' || c == '\n' || c == '\0' || (quoted && c == '"')) return false;
    return true;
}

std::string AfterLastBackslash(const std::string& s) {
    const size_t p = s.find_last_of('\\');
    return p == std::string::npos ? s : s.substr(p + 1);
}

// Fills one list from the entry answers "<prefix> "name",size[,...]".
void ReadEntries(PhoneSession& s, std::vector<tPhoneFile>& list, const std::string& prefix, int count,
                 bool sizeToComma, ProgressSink& progress) {
    for (int n = 1; n <= count; ++n) {
        const std::string cmd = prefix + std::to_string(n) + "\r";
        const std::string a = CleanAnswer(s.SendCommand(cmd, ""), cmd);
        progress.Step(1);
        progress.ProcessEvents();
        if (Contains(a, "+CME ERR")) continue;
        const size_t q1 = a.find('"');
        if (q1 == std::string::npos) continue;
        const size_t q2 = a.find('"', q1 + 1);
        if (q2 == std::string::npos || q2 == q1 + 1) continue;
        std::string rest = q2 + 2 <= a.size() ? a.substr(q2 + 2) : std::string();
        if (sizeToComma)
            if (size_t c = rest.find(','); c != std::string::npos) rest.erase(c);
        list.push_back({a.substr(q1 + 1, q2 - q1 - 1), StrToIntDef0(rest), static_cast<uint16_t>(n)});
    }
}

}  // namespace

std::string DisplayName(int kind, const tPhoneFile& file) {
    std::string name = kind == kJava ? UnescapeName(file.Name) : file.Name;
    // Names a Windows program wrote are 8-bit text; show them converted.
    if (!name.empty() && !ValidUtf8(name)) name = Utf8FromAnsi(name);
    return name;
}

std::string SafeLocalName(const std::string& displayName) {
    std::string name = displayName;
    if (size_t p = name.find_last_of("/\\"); p != std::string::npos) name.erase(0, p + 1);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    if (name.empty() || name == "." || name == "..") name = "phone_file";
    return name;
}

bool PhoneSession::ReadPhoneList(int kind, ProgressSink& progress) {
    SendCommand(kListReset, "");
    if (kind == kSounds || kind == kImages) {
        auto& list = PhoneList(conn_, kind);
        if (!list.empty()) return true;
        const bool sounds = kind == kSounds;
        const std::string memCmd = sounds ? "AT+MELW?\r" : "AT+IMGW?\r";
        std::string a = SendCommand(memCmd, "");
        if (CheckPhoneError(a)) return false;
        a = CleanAnswer(a, memCmd);
        if (size_t c = a.find(','); c != std::string::npos) a.erase(0, c + 1);
        int32_t fields[4] = {0, 0, 0, 0};
        for (int32_t& f : fields) {
            const size_t c = a.find(',');
            if (c == std::string::npos) break;
            f = StrToIntDef0(a.substr(0, c));
            a.erase(0, c + 1);
        }
        conn_.MemoryFirst = fields[1];
        conn_.MemorySecond = fields[2];
        conn_.BlockSize = fields[3];

        const std::string countCmd = sounds ? "AT+MELR?\r" : "AT+IMGR?\r";
        a = SendCommand(countCmd, "");
        if (CheckPhoneError(a)) return false;
        a = CleanAnswer(a, countCmd);
        const std::string prefix = sounds ? "+MELR:" : "+IMGR:";
        int32_t count = 0;
        if (size_t p = a.find(prefix); p != std::string::npos) {
            a.erase(0, std::min(a.size(), p + prefix.size() + 1));
            const size_t c = a.find(',');
            count = StrToIntDef0(c == std::string::npos ? a : a.substr(0, c));
        }
        // Slot numbers are 16-bit; a larger count is no answer to trust.
        count = std::clamp<int32_t>(count, 0, 65535);
        progress.SetRange(count + 1);
        progress.SetPosition(0);
        ReadEntries(*this, list, sounds ? "AT+MELR=" : "AT+IMGR=", count, !sounds, progress);
    } else if (kind == kJava && conn_.PhoneJavaApps.empty()) {
        progress.SetRange(81);
        progress.SetPosition(0);
        ReadEntries(*this, conn_.PhoneJavaApps, "AT+IMGF=", 80, false, progress);
    }
    return true;
}

int PhoneSession::SendFileToPhone(const std::string& localPath, const std::string& phoneName, int blockSize,
                                  int kind, ProgressSink& progress) {
    const std::string base = BaseName(localPath);
    const size_t dot = base.find_last_of('.');
    const std::string ext = dot == std::string::npos ? std::string() : UpperAscii(base.substr(dot));
    int pictureType = 0;
    if (kind == kSounds) {
        if (!Contains(ext, "MMF")) return kSendWrongType;
    } else if (kind == kImages) {
        if (Contains(ext, "GIF")) pictureType = 2;
        else if (Contains(ext, "JPG")) pictureType = 11;
        else return kSendWrongType;
    } else if (kind != kJava) {
        return kSendWrongType;
    }
    if (!SafeInCommand(phoneName, kind != kJava)) return kSendWrongType;
    if (blockSize < 1) blockSize = 1024;

    const UniqueFile file = OpenFile(localPath, "rb");
    std::FILE* const f = file.get();
    if (!f) {
        if (events_) events_->Error("File opening error!");
        return kSendOpenFailed;
    }
    const int64_t size = FileSizeOf(localPath);
    if (size < 0 || size > INT32_MAX) {
        if (events_) events_->Error("File opening error!");
        return kSendOpenFailed;
    }
    Status(3, AfterLastBackslash(UnescapeName(phoneName)));
    progress.SetRange(size + 1);
    progress.SetPosition(0);

    std::string block(static_cast<size_t>(blockSize), '\0');
    uLong crc = crc32(0L, Z_NULL, 0);
    for (size_t n; (n = std::fread(block.data(), 1, block.size(), f)) > 0;)
        crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(n));

    std::string cmd, terminator = "\r\n>";
    const std::string sizeText = std::to_string(size), crcText = std::to_string(static_cast<uint32_t>(crc));
    if (kind == kSounds)
        cmd = "AT+MELW=0,\"" + phoneName + "\",4," + sizeText + "," + crcText + "\r";
    else if (kind == kImages)
        cmd = "AT+IMGW=0,\"" + phoneName + "\"," + std::to_string(pictureType) + ",0,0,0,0,100," + sizeText + "," +
              crcText + "\r";
    else {
        cmd = "AT+MELP=" + phoneName + "," + sizeText + "\r";
        terminator = ">>";
    }
    const std::string answer = SendCommand(cmd, terminator);
    if (CheckPhoneError(answer)) {
        return Contains(answer, "NOMEMORY") ? kSendNoMemory : kSendRefused;
    }
    std::rewind(f);
    for (size_t n; (n = std::fread(block.data(), 1, block.size(), f)) > 0;) {
        const std::string reply = SendBlock(std::string_view(block.data(), n), terminator);
        if (reply.empty() || CheckPhoneError(reply)) {
                return kSendBlockFailed;
        }
        progress.Step(blockSize);
        progress.ProcessEvents();
    }
    return kSendOk;
}

SendBatchResult PhoneSession::SendFilesToPhone(int kind, const std::vector<std::string>& localFiles, int blockSize,
                                               bool autoRefresh, const std::string& tempDir, ProgressSink& progress) {
    SendBatchResult result;
    const std::string manifest = JoinPath(tempDir, "MANIFEST.MF");
    for (const std::string& path : localFiles) {
        if (result.Stopped) break;
        if (DirExists(path)) {
            result.Codes.push_back(kSendWrongType);
            continue;
        }
        std::string a = SendCommand("ATZ\r", "");
        if (!Contains(a, "OK\r\n")) {
            a = SendCommand("ATZ\r", "");
            if (CheckPhoneError(a)) {
                result.Stopped = true;
                break;
            }
        }
        const std::string name = BaseName(path);
        int code;
        if (kind == kSounds || kind == kImages) {
            // Host file names are UTF-8 already; only 8-bit names need converting.
            std::string stem = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
            if (!stem.empty() && !ValidUtf8(stem)) stem = Utf8FromAnsi(stem);
            code = SendFileToPhone(path, stem, blockSize, kind, progress);
        } else if (Contains(UpperAscii(name.substr(std::min(name.size(), name.find_last_of('.')))), "JAR")) {
            if (ExtractZipMember(path, "META-INF/MANIFEST.MF", tempDir).empty()) {
                result.Codes.push_back(kSendOpenFailed);
                continue;
            }
            const std::string suite = JadSuiteName(manifest, path);
            code = SendFileToPhone(path, "e:\\S100\\" + suite + ".jar", blockSize, kJava, progress);
            if (code == kSendOk) code = SendFileToPhone(manifest, "e:\\S100\\" + suite + ".jad", blockSize, kJava, progress);
        } else {
            code = SendFileToPhone(path, "e:\\S100\\" + EscapeName(name), blockSize, kJava, progress);
        }
        result.Codes.push_back(code);
        if (code == kSendOk) ++result.Sent;
        if (code == kSendRefused) result.Stopped = true;
    }
    if (kind == kJava && FileExists(manifest)) std::remove(manifest.c_str());
    if (autoRefresh && result.Sent > 0) {
        PhoneList(conn_, kind).clear();
        ReadPhoneList(kind, progress);
    }
    Status(3, MemoryText(conn_));
    return result;
}

std::vector<DeleteOutcome> PhoneSession::DeletePhoneFiles(int kind, const std::vector<size_t>& selected,
                                                          bool autoRefresh, ProgressSink& progress) {
    std::vector<DeleteOutcome> out;
    const std::vector<tPhoneFile> list = PhoneList(conn_, kind);
    progress.SetRange(static_cast<int64_t>(selected.size()));
    progress.SetPosition(0);
    for (size_t pos : selected) {
        if (pos >= list.size() || (kind == kJava && !SafeInCommand(list[pos].Name, false))) {
            out.push_back(DeleteOutcome::kRefused);
            continue;
        }
        const tPhoneFile& file = list[pos];
        std::string cmd;
        if (kind == kSounds) cmd = "AT+MELW=" + std::to_string(file.Index) + ",\"\",4,1,0\r";
        else if (kind == kImages) cmd = "AT+IMGW=" + std::to_string(file.Index) + ",\"\",11,0,0,0,0,100,1,0\r";
        else cmd = "AT+IMGC=" + file.Name + "\r";
        DeleteOutcome outcome = DeleteOutcome::kGaveUp;
        // A phone that stopped confirming must not keep us here for ever.
        for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
            if (CheckPhoneError(SendCommand(cmd, "\r\n>"))) {
                outcome = DeleteOutcome::kRefused;
                break;
            }
            if (attempt == 0) progress.Step(1);
            if (kind == kJava) {
                outcome = DeleteOutcome::kDeleted;
                break;
            }
            if (Contains(CleanAnswer(SendCommand("o", "CRCERR\r\n"), "o"), "CRCERR")) {
                outcome = DeleteOutcome::kDeleted;
                break;
            }
        }
        out.push_back(outcome);
    }
    if (autoRefresh) {
        PhoneList(conn_, kind).clear();
        ReadPhoneList(kind, progress);
    }
    return out;
}

std::vector<FetchOutcome> PhoneSession::ReadJavaFromPhone(const std::vector<size_t>& selected,
                                                          const std::string& folder, ProgressSink& progress) {
    std::vector<FetchOutcome> out;
    const std::vector<tPhoneFile> list = conn_.PhoneJavaApps;
    for (size_t pos : selected) {
        FetchOutcome outcome;
        if (pos >= list.size() || !SafeInCommand(list[pos].Name, false)) {
            out.push_back(outcome);
            continue;
        }
        const std::string shown = AfterLastBackslash(DisplayName(kJava, list[pos]));
        Status(3, shown);
        SendCommand(kListReset, "");
        const std::string cmd = "AT+MELF=" + list[pos].Name + "\r";
        const std::string answer = SendCommand(cmd, ">");
        if (CheckPhoneError(answer)) {
            out.push_back(outcome);
            continue;
        }
        // The size stands next to the '>' (before it, or after it in the
        // same piece). An answer without them (a time-out, or one that ended
        // on a late "OK") gives no size: taking it as 0 would overwrite the
        // local file with an empty one.
        const std::string a = CleanAnswer(answer, cmd);
        const size_t gt = a.find('>');
        std::string sizeText;
        if (gt != std::string::npos) {
            size_t digits = gt;
            while (digits > 0 && std::isdigit(static_cast<unsigned char>(a[digits - 1]))) --digits;
            sizeText = digits < gt ? a.substr(digits, gt - digits) : a.substr(gt + 1);
        }
        if (sizeText.empty() || (sizeText != "0" && StrToIntDef0(sizeText) <= 0)) {
            out.push_back(outcome);
            continue;
        }
        outcome.LocalPath = JoinPath(folder, SafeLocalName(shown));
        const int64_t length = StrToIntDef0(sizeText);
        progress.SetRange(length + 1);
        progress.SetPosition(0);
        std::string rest;
        bool allPieces = false;
        // Written under a temporary name and renamed only when every piece
        // arrived: a broken transfer leaves no truncated file and keeps an
        // older file of that name.
        outcome.Complete = WriteFileAtomic(
            outcome.LocalPath,
            [&](std::FILE* file) {
                for (int64_t done = 0; done < length;) {
                    const size_t piece = static_cast<size_t>(std::min<int64_t>(128, length - done));
                    conn_.Port ? conn_.Port->Write(">>") : void();
                    std::string data;
                    ReadRawBytes(piece, data, rest);
                    if (CheckPhoneError(rest)) return false;
                    if (std::fwrite(data.data(), 1, data.size(), file) != data.size()) return false;
                    done += static_cast<int64_t>(piece);
                    progress.Step(static_cast<int64_t>(piece));
                    progress.ProcessEvents();
                }
                allPieces = length > 0;
                return true;
            }).Ok();
        if (allPieces && !Contains(rest, "OK\r\n")) AwaitClosingAnswer(rest);
        if (outcome.Complete && !Contains(rest, "OK\r\n")) CheckPhoneError(rest);
        out.push_back(outcome);
    }
    return out;
}

}  // namespace flashsmith::phonelink
