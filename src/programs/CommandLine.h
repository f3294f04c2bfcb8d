// The command-line conventions that tarvikctl and tarvik-mousesim share on top
// of CLI11: --version, options of the program given after a subcommand as well,
// and usage errors as one line on stderr with exit code 2 (CLI11's own codes,
// 100 and above, never leave the program).
#pragma once

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "text/ExitCodes.h"
#include "text/Log.h"

#ifndef TARVIK_VERSION
#define TARVIK_VERSION "0.0.0"
#endif

namespace tarvik::cli {

// Call before any subcommand is added: subcommands take over the fallthrough,
// so an option of the program may follow them ("tarvikctl apply --trace").
inline void UseConventions(CLI::App& app) {
    app.fallthrough();
    std::string version = ProgramName();
    version += " ";
    version += TARVIK_VERSION;
    app.set_version_flag("--version", version, "print the version and exit");
}

// Call after the subcommands are added (they would inherit the footer).
inline void SayOptionsMayFollow(CLI::App& app) {
    app.footer("The options above may also follow a subcommand.");
}

// Parses (and so runs the chosen command's callback). Empty when the program
// goes on; otherwise its exit code: 0 after --help or --version (printed on
// stdout), kExitUsage after a usage error, said on one stderr line.
inline std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
        std::string what = e.what();
        // A word that names no command leaves the command missing; the word is
        // the mistake to name.
        if (dynamic_cast<const CLI::RequiredError*>(&e)) {
            const std::vector<std::string> extra = app.remaining(true);
            if (!extra.empty()) {
                what = "The following argument was not expected: ";
                what += extra.front();
            }
        }
        std::string line = ProgramName();
        line += ": ";
        for (const char c : what) {
            if (c == '\n') {
                line += "; ";
            } else {
                line += c;
            }
        }
        line += " (see --help)";
        std::cerr << line << "\n";
        return kExitUsage;
    }
    return std::nullopt;
}

} // namespace tarvik::cli
