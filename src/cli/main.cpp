#include <iostream>
#include <new>

#include "cli/Command.h"

int main(int argc, char** argv) {
    using namespace flashsmith::cli;
    Args args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << FLASHSMITH_PRODUCT_NAME " " FLASHSMITH_VERSION
                     " command-line front end\n\nusage: flashsmith-cli SUBCOMMAND [ARGS...]\n\n";
        for (const Command& cmd : Commands()) {
            const std::string name = cmd.name;
            std::cout << "  " << name << std::string(name.size() < 10 ? 10 - name.size() : 1, ' ')
                      << cmd.summary << "\n";
        }
        std::cout << "\nEvery subcommand takes --help.\n";
        return args.empty() ? kExitUsage : kExitOk;
    }
    if (args[0] == "--version") {
        std::cout << FLASHSMITH_PRODUCT_NAME " " FLASHSMITH_VERSION "\n";
        return kExitOk;
    }
    const Command* command = FindCommand(args[0]);
    if (!command) return UsageError("unknown subcommand " + args[0]);
    InstallEditScriptHooks();
    try {
        return command->run(Args(args.begin() + 1, args.end()));
    } catch (const std::bad_alloc&) {
        // Any operation that runs out of memory ends with a message, not an abort.
        std::cerr << "error: not enough memory for " << args[0] << "\n";
        return kExitFailed;
    }
}
