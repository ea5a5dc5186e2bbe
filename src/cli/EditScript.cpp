#include "cli/EditScript.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <vector>

#include "editing/DeleteRestore.h"
#include "editing/PictureView.h"
#include "editing/Replace.h"
#include "editing/ResourceList.h"
#include "editing/StringEdit.h"
#include "editing/TempFiles.h"
#include "sound/AudioConvert.h"
#include "base/FileUtil.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;

const char* const kEditScriptSyntax =
    "Edit script: one command per line; a line whose first non-blank character is # is a comment.\n"
    "INDEX and LANG count from 0; FILE and PATCH run to the end of the line and are relative to\n"
    "the script's folder; TEXT (UTF-8) is the rest of the line after one blank.\n"
    "  replace images|sounds|java INDEX FILE\n"
    "                                 sounds also take .wav, .mp3, .ogg and .flac, converted to SMAF\n"
    "  replace images INDEX FILE --fit  scale the picture down into the entry's size (aspect kept, centred)\n"
    "  replace sounds INDEX FILE --rate 8000|11025|22050\n"
    "                                 the converted audio track's rate (default 8000)\n"
    "  delete images|sounds|java INDEX\n"
    "  restore images|sounds|java INDEX\n"
    "  string 1|2 LANG INDEX TEXT     an empty TEXT deletes the string\n"
    "  delete-string 1|2 LANG INDEX\n"
    "  restore-string 1|2 LANG INDEX\n"
    "  transparent INDEX 0xBBGGRR     that colour of a replaced \"09\" picture becomes transparent\n"
    "  no-transparent INDEX\n"
    "  apply PATCH                    Open SPF\n";

namespace {

ApplyPatchHook& HookSlot() {
    static ApplyPatchHook hook;
    return hook;
}

enum class Op { Replace, Delete, Restore, String, DeleteString, RestoreString, Transparent, NoTransparent, Apply };

struct Line {
    int Number = 0;
    std::string Source;  // the command as written, for messages
    Op Kind = Op::Replace;
    int32_t Category = -1;
    int Table = 0;
    int64_t Lang = 0;
    int64_t Index = 0;
    int64_t Colour = 0;
    bool Fit = false;  // replace ... --fit
    int Rate = 0;      // replace ... --rate N; 0: the converter's default
    std::string Text;  // TEXT, FILE or PATCH
};

class Cursor {
public:
    explicit Cursor(const std::string& s) : s_(s) {}
    std::string Word() {
        SkipBlanks();
        size_t b = i_;
        while (i_ < s_.size() && !IsBlank(s_[i_])) ++i_;
        return s_.substr(b, i_ - b);
    }
    std::string RestTrimmed() {
        SkipBlanks();
        size_t e = s_.size();
        while (e > i_ && IsBlank(s_[e - 1])) --e;
        std::string r = s_.substr(i_, e - i_);
        i_ = s_.size();
        return r;
    }
    // After one separating blank, the rest as it is.
    std::string RestExact() {
        if (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
        std::string r = s_.substr(i_);
        i_ = s_.size();
        return r;
    }
    // Nothing but blanks or a comment left.
    bool AtEnd() {
        SkipBlanks();
        return i_ >= s_.size() || s_[i_] == '#';
    }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
    void SkipBlanks() {
        while (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
    }
    const std::string& s_;
    size_t i_ = 0;
};

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (!len || i + len > s.size() || (len == 2 && c < 0xC2)) return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

bool Number(const std::string& word, int64_t* v) { return ParseCliNumber(word, v) && *v >= 0; }

// Parses one line; "" when it is fine, else why it is malformed.
std::string ParseLine(const std::string& text, const std::string& folder, Line& line) {
    Cursor c(text);
    const std::string cmd = c.Word();
    auto category = [&]() -> std::string {
        const std::string w = c.Word();
        if (w == "images") line.Category = kCatImages;
        else if (w == "sounds") line.Category = kCatSounds;
        else if (w == "java") line.Category = kCatJava;
        else return "expected images, sounds or java, not \"" + w + "\"";
        return {};
    };
    auto number = [&](int64_t* v, const char* what) -> std::string {
        const std::string w = c.Word();
        return Number(w, v) ? std::string() : std::string(what) + " must be a number from 0, not \"" + w + "\"";
    };
    auto language = [&]() -> std::string {
        const std::string w = c.Word();
        if (w != "1" && w != "2") return "the language table must be 1 or 2, not \"" + w + "\"";
        line.Table = w[0] - '0';
        if (std::string e = number(&line.Lang, "LANG"); !e.empty()) return e;
        return number(&line.Index, "INDEX");
    };
    auto file = [&]() -> std::string {
        std::string path = c.RestTrimmed();
        if (path.empty()) return "a file name is missing";
        line.Text = path[0] == '/' ? path : JoinPath(folder, path);
        return {};
    };
    std::string error;
    if (cmd == "replace") {
        line.Kind = Op::Replace;
        if ((error = category()).empty() && (error = number(&line.Index, "INDEX")).empty()) error = file();
        if (!error.empty()) return error;
        // Options end the line, after the file name: a trailing --fit scales
        // the picture into its slot instead of cropping; --rate N sets the
        // rate audio is converted at.
        auto trimEnd = [&] {
            while (!line.Text.empty() && (line.Text.back() == ' ' || line.Text.back() == '\t')) line.Text.pop_back();
        };
        for (bool more = true; more;) {
            more = false;
            const std::string fit = " --fit";
            if (!line.Fit && line.Text.size() > fit.size() &&
                line.Text.compare(line.Text.size() - fit.size(), fit.size(), fit) == 0) {
                if (line.Category != kCatImages) return "--fit applies to pictures only";
                line.Text.resize(line.Text.size() - fit.size());
                trimEnd();
                line.Fit = more = true;
            }
            const size_t at = line.Text.rfind(" --rate ");
            if (!line.Rate && at != std::string::npos && at > 0) {
                const std::string value = line.Text.substr(at + 8);
                int64_t rate = 0;
                if (value.find(' ') != std::string::npos) continue;  // part of the file name
                if (line.Category != kCatSounds) return "--rate applies to sounds only";
                if (!ParseCliNumber(value, &rate) || !sound::ConvertRateSupported(static_cast<int>(rate)))
                    return "the rate must be 8000, 11025 or 22050, not \"" + value + "\"";
                line.Text.resize(at);
                trimEnd();
                line.Rate = static_cast<int>(rate);
                more = true;
            }
        }
        return error;
    } else if (cmd == "delete" || cmd == "restore") {
        line.Kind = cmd == "delete" ? Op::Delete : Op::Restore;
        if ((error = category()).empty()) error = number(&line.Index, "INDEX");
    } else if (cmd == "string") {
        line.Kind = Op::String;
        if (!(error = language()).empty()) return error;
        line.Text = c.RestExact();
        return ValidUtf8(line.Text) ? std::string() : "the text is not UTF-8";
    } else if (cmd == "delete-string" || cmd == "restore-string") {
        line.Kind = cmd == "delete-string" ? Op::DeleteString : Op::RestoreString;
        error = language();
    } else if (cmd == "transparent") {
        line.Kind = Op::Transparent;
        if ((error = number(&line.Index, "INDEX")).empty()) {
            const std::string w = c.Word();
            if (!Number(w, &line.Colour) || line.Colour > 0xFFFFFF)
                error = "the colour must be 0xBBGGRR, not \"" + w + "\"";
        }
    } else if (cmd == "no-transparent") {
        line.Kind = Op::NoTransparent;
        error = number(&line.Index, "INDEX");
    } else if (cmd == "apply") {
        line.Kind = Op::Apply;
        return file();
    } else {
        return "unknown command \"" + cmd + "\"";
    }
    if (error.empty() && !c.AtEnd()) error = "unexpected text after the command";
    return error;
}

// kExitOk, kExitFailed when the file cannot be read, kExitUsage when a line
// is malformed.
int ReadScript(const std::string& path, std::vector<Line>& lines, std::ostream& err) {
    std::string bytes;
    const Status read = DirExists(path) ? Status::Fail(path + ": not a file") : ReadWholeFile(path, bytes);
    if (!read) {
        err << "error: " << read.Error() << "\n";
        return kExitFailed;
    }
    const std::string folder = std::filesystem::path(path).parent_path().string();
    std::istringstream in(bytes);
    std::string text;
    bool ok = true;
    for (int n = 1; std::getline(in, text); ++n) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') continue;
        Line line;
        line.Number = n;
        line.Source = text.substr(first);
        if (std::string why = ParseLine(text, folder.empty() ? "." : folder, line); !why.empty()) {
            err << "error: line " << n << ": " << why << "\n";
            ok = false;
            continue;
        }
        lines.push_back(std::move(line));
    }
    return ok ? kExitOk : kExitUsage;
}

// A command's words without its free text, for messages.
std::string Head(const Line& line) {
    if (line.Kind == Op::String || line.Kind == Op::Replace || line.Kind == Op::Apply) {
        std::istringstream in(line.Source);
        std::string w, out;
        const int words = line.Kind == Op::String ? 4 : line.Kind == Op::Replace ? 3 : 1;
        for (int i = 0; i < words && in >> w; ++i) out += (i ? " " : "") + w;
        return out;
    }
    size_t hash = line.Source.find('#');
    std::string s = line.Source.substr(0, hash);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

// Runs one line; false when it changed nothing (the message is printed).
bool RunLine(FirmwareState& st, const Line& line, const ApplyPatchHook& apply, std::ostream& err) {
    const int32_t index = line.Index > INT32_MAX ? INT32_MAX : static_cast<int32_t>(line.Index);
    int32_t category = line.Category;
    if (line.Kind == Op::String || line.Kind == Op::DeleteString || line.Kind == Op::RestoreString) {
        if (line.Lang >= st.FirmwareDescription.LanguageCount) {
            err << "warning: line " << line.Number << ": " << Head(line) << ": no language " << line.Lang << "\n";
            return false;
        }
        category = LanguageCategory(st, line.Table, static_cast<int32_t>(line.Lang));
    }
    EditResult r;
    switch (line.Kind) {
        case Op::Replace: r = ReplaceEntry(st, category, index, line.Text, line.Fit, line.Rate); break;
        case Op::Delete:
        case Op::DeleteString: r = DeleteEntry(st, category, index); break;
        case Op::Restore:
        case Op::RestoreString: r = RestoreEntry(st, category, index); break;
        case Op::String: r = EditStringUtf8(st, category, index, line.Text); break;
        case Op::Transparent: r = ApplyTransparentColour(st, index, static_cast<uint32_t>(line.Colour)); break;
        case Op::NoTransparent: r = RemoveTransparentColour(st, index); break;
        case Op::Apply: {
            if (!apply) {
                err << "warning: line " << line.Number << ": apply: patch application is not available\n";
                return false;
            }
            ApplyOutcome a = apply(st, line.Text);
            if (!a.Changed)
                err << (a.Failed ? "error" : "warning") << ": line " << line.Number << ": apply: " << a.Message << "\n";
            return a.Changed;
        }
    }
    if (r.Changed()) return true;
    err << (r.Failed() ? "error" : "warning") << ": line " << line.Number << ": " << Head(line) << ": "
        << EditStatusText(r.Status);
    if (r.Status == EditStatus::NoEntry) err << " (" << RowCount(st, category) << " entries)";
    if (!r.Detail.empty()) err << " (" << r.Detail << ")";
    err << "\n";
    return false;
}

}  // namespace

void SetDefaultApplyPatchHook(ApplyPatchHook hook) { HookSlot() = std::move(hook); }
const ApplyPatchHook& DefaultApplyPatchHook() { return HookSlot(); }

int RunEditScript(FirmwareState& st, const std::string& scriptPath, const ApplyPatchHook& apply, std::ostream& err) {
    std::vector<Line> lines;
    if (int rc = ReadScript(scriptPath, lines, err); rc != kExitOk) return rc;
    bool clean = true;
    for (const Line& line : lines) clean &= RunLine(st, line, apply, err);
    return clean ? kExitOk : kExitFailed;
}

RunTempDir::~RunTempDir() {
    if (dir_.empty() || keep_) return;
    std::error_code ec;
    if (created_) {
        std::filesystem::remove_all(dir_, ec);
        return;
    }
    if (!state_) return;
    auto drop = [&](const std::string& name) {
        if (!name.empty()) std::filesystem::remove(JoinPath(dir_, name), ec);
    };
    for (const auto& e : state_->Firmware.Images) drop(e.TempName);
    for (const auto& e : state_->Firmware.Sounds) drop(e.TempName);
    for (const auto& e : state_->Firmware.JavaApps) drop(e.TempName);
}

Status RunTempDir::Prepare(const ArgParser& p, FirmwareState& st) {
    state_ = &st;
    keep_ = p.Has("--keep-temp");
    if (auto given = p.Get("--temp")) {
        if (given->empty()) return Status::Fail("--temp needs a folder");
        dir_ = *given;
        st.TempDir = dir_.back() == '/' ? dir_ : dir_ + "/";
        return EnsureTempDir(st);
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = JoinPath(tmp && *tmp ? tmp : "/tmp", "flashsmith-XXXXXX");
    if (!::mkdtemp(pattern.data())) return Status::Fail(pattern + ": cannot create a temporary folder");
    dir_ = pattern;
    created_ = true;
    st.TempDir = dir_ + "/";
    if (keep_) std::cerr << "note: replacement files are kept in " << dir_ << "\n";
    return {};
}

const char* const kEditOptionsUsage =
    "  --edits SCRIPT    run an edit script on the image first (see below)\n"
    "  --temp DIR        put replacement files in DIR (default: a fresh private folder\n"
    "                    under $TMPDIR or /tmp, removed at exit)\n"
    "  --keep-temp       keep the replacement files at exit\n";

void AddEditOptions(ArgParser& parser) { parser.Option("--edits").Option("--temp").Flag("--keep-temp"); }

int RunCliEdits(const ArgParser& p, FirmwareState& st, RunTempDir& temp, bool* ran) {
    *ran = false;
    if (Status s = temp.Prepare(p, st); !s) return Fail(s.Error());
    auto script = p.Get("--edits");
    if (script && !FileExists(*script)) return Fail(*script + ": no such edit script");
    *ran = true;
    return script ? RunEditScript(st, *script, DefaultApplyPatchHook(), std::cerr) : kExitOk;
}

}  // namespace flashsmith::cli
