// flashsmith-cli s3: conversions between S-record files and binary images.
#include <iostream>

#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "srecord/S3Converter.h"

namespace flashsmith::cli {
using namespace flashsmith::srecord;

namespace {

const char kUsage[] =
    "usage: flashsmith-cli s3 to-bin IN OUT [--part] [--from-first-address]\n"
    "       flashsmith-cli s3 from-bin IN OUT [--start ADDR] [--stop ADDR] [--reserve LOW-HIGH]...\n"
    "\n"
    "Run 'flashsmith-cli s3 to-bin --help' or 's3 from-bin --help' for details.\n";

const char kToBinUsage[] =
    "usage: flashsmith-cli s3 to-bin IN OUT [--part] [--from-first-address]\n"
    "\n"
    "Converts the S-record file IN (S1, S2 and S3 data lines) into the binary image OUT.\n"
    "  (default)              every byte at its address from address 0, gaps as zero bytes\n"
    "  --from-first-address   the same, but the image starts at the lowest address with data\n"
    "  --part                 only the data: the runs of contiguous addresses one after\n"
    "                         the other\n"
    "Lines with a wrong checksum or a bad digit are dropped (the count is reported as a\n"
    "warning); the lines after them keep their own addresses. Images over 2 GiB are refused.\n";

const char kFromBinUsage[] =
    "usage: flashsmith-cli s3 from-bin IN OUT [--start ADDR] [--stop ADDR] [--reserve LOW-HIGH]...\n"
    "\n"
    "Converts the binary file IN into the S-record file OUT (S3 lines of 16 bytes between a\n"
    "fixed header and end line).\n"
    "  (default)          the whole file, byte f at address ADDR + f (--start, default 0)\n"
    "  --stop ADDR        only the file offsets from --start up to, not including, --stop\n"
    "                     (cut to the file size), byte f at address f\n"
    "  --reserve LOW-HIGH leave out the addresses LOW to HIGH, both included; repeatable,\n"
    "                     in any order; regions must not overlap\n"
    "Numbers are decimal or 0x hexadecimal.\n";


bool ParseAddress(const ArgParser& p, const std::string& option, uint32_t* value, int* exitCode) {
    const auto text = p.Get(option);
    if (!text) return true;
    int64_t v;
    if (!ParseCliNumber(*text, &v) || v < 0 || v > 0xFFFFFFFFll) {
        *exitCode = UsageError(option + " needs an address from 0 to 0xFFFFFFFF, not '" + *text + "'");
        return false;
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

int ToBin(const Args& args) {
    ArgParser p(kToBinUsage);
    p.Flag("--part").Flag("--from-first-address");
    int code;
    if (!p.Parse(args, 2, 2, &code)) return code;
    if (p.Has("--part") && p.Has("--from-first-address"))
        return UsageError("--from-first-address applies to the whole image, not to --part");
    S3ReadOptions options;
    options.Mode = p.Has("--part") ? S3ToBinMode::Part : S3ToBinMode::All;
    options.FromFirstAddress = p.Has("--from-first-address");
    S3ReadResult r;
    {
        TerminalProgressBar progress;
        r = ReadS3File(p.Positionals()[0], p.Positionals()[1], options, progress);
    }
    if (r.DroppedLines > 0)
        std::cerr << "warning: " << r.DroppedLines
                  << " S-record line(s) dropped (wrong checksum or bad digit)\n";
    if (r.Status != S3Status::Ok) return Fail(r.Message);
    return kExitOk;
}

int FromBin(const Args& args) {
    ArgParser p(kFromBinUsage);
    p.Option("--start").Option("--stop").Option("--reserve");
    int code;
    if (!p.Parse(args, 2, 2, &code)) return code;
    S3WriteOptions options;
    if (!ParseAddress(p, "--start", &options.Start, &code)) return code;
    if (p.Get("--stop")) {
        options.Mode = BinToS3Mode::Part;
        if (!ParseAddress(p, "--stop", &options.Stop, &code)) return code;
        if (options.Start >= options.Stop) return UsageError("--start must lie below --stop");
    }
    for (const std::string& text : p.All("--reserve")) {
        const RegionCheckResult c = AppendRegion(options.Reserved, text);
        if (c.Status == RegionCheck::Overlaps)
            return UsageError("reserved region '" + text + "' overlaps " +
                              FormatRegion(options.Reserved[static_cast<size_t>(c.OverlapIndex)]));
        if (c.Status != RegionCheck::Ok)
            return UsageError("reserved region '" + text + "' refused: " + RegionCheckText(c.Status));
    }
    S3WriteResult r;
    {
        TerminalProgressBar progress;
        r = WriteS3File(p.Positionals()[0], p.Positionals()[1], options, progress);
    }
    if (r.Status != S3Status::Ok) return Fail(r.Message);
    if (r.EmptyRange)
        std::cerr << "warning: --start lies at or past the end of the binary; the output file is empty\n";
    return kExitOk;
}

}  // namespace

int RunS3(const Args& args) {
    static constexpr Verb kVerbs[] = {{"to-bin", ToBin}, {"from-bin", FromBin}};
    return RunVerb(args, kVerbs, kUsage, {nullptr, "unknown s3 command", true});
}


}  // namespace flashsmith::cli
