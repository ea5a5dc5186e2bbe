// Edit scripts: the editor's replace, delete, restore, string, transparency
// and Open SPF commands as lines of a text file, run on an opened image; and
// the per-run temporary folder the replacement files go to.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "base/Result.h"
#include "cli/Command.h"
#include "firmware/Variables.h"

namespace flashsmith::cli {

// What an "apply PATCH" line did. Patch application lives in another layer
// and is handed in as a callback.
struct ApplyOutcome {
    bool Changed = false;  // the patch turned into pending edits
    bool Failed = false;   // an error the user must act on (else a warning)
    std::string Message;   // why nothing changed, or what failed
};
using ApplyPatchHook = std::function<ApplyOutcome(firmware::FirmwareState&, const std::string& patchPath)>;

// The hook "apply" lines use when the caller passes none; empty until
// InstallEditScriptHooks sets ApplyPatchFromScript.
void SetDefaultApplyPatchHook(ApplyPatchHook hook);
const ApplyPatchHook& DefaultApplyPatchHook();
// Open SPF as the patch commands run it (CmdPatch.cpp).
ApplyOutcome ApplyPatchFromScript(firmware::FirmwareState& state, const std::string& path);

extern const char* const kEditScriptSyntax;

// Parses the whole script first (a malformed line: "error: line N: ..." and
// kExitUsage, nothing run), then runs it line by line. A line that changes
// nothing prints "warning: line N: ..." and a failure "error: line N: ...";
// both let the run go on and make it return kExitFailed.
int RunEditScript(firmware::FirmwareState& state, const std::string& scriptPath, const ApplyPatchHook& apply,
                  std::ostream& err);

// The folder for a run's replacement files: a fresh private folder under
// $TMPDIR (or /tmp), removed with this object, unless --temp DIR names one;
// --keep-temp keeps the files. In a --temp folder only the replacement
// files of this run are removed, never the folder.
class RunTempDir {
public:
    RunTempDir() = default;
    ~RunTempDir();
    RunTempDir(const RunTempDir&) = delete;
    RunTempDir& operator=(const RunTempDir&) = delete;

    // Sets state.TempDir; fails when no folder can be made.
    base::Status Prepare(const ArgParser& parser, firmware::FirmwareState& state);
    const std::string& Path() const { return dir_; }

private:
    firmware::FirmwareState* state_ = nullptr;
    std::string dir_;
    bool created_ = false;
    bool keep_ = false;
};

// --edits SCRIPT, --temp DIR, --keep-temp.
void AddEditOptions(ArgParser& parser);
extern const char* const kEditOptionsUsage;
// Prepares the folder and runs --edits when given (with the default apply
// hook). Returns the script's exit code, kExitOk without a script; *ran is
// false when the folder or the script could not be had at all (the error
// is printed), so there is no model to show.
int RunCliEdits(const ArgParser& parser, firmware::FirmwareState& state, RunTempDir& temp, bool* ran);

}  // namespace flashsmith::cli
