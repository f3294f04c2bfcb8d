// The exit codes of tarvik, tarvikctl and tarvik-mousesim: one meaning each, in
// every command of every program. README.md and the man pages list them.
#pragma once

namespace tarvik {

enum ExitCode : int {
    kExitOk = 0,         // done (also after --help and --version)
    kExitFailed = 1,     // the operation failed: a refused or unwritable file, no mouse, the folder in use
    kExitUsage = 2,      // the command line is wrong: an unknown command or option, a bad value
    kExitLeftButton = 3, // tarvikctl assign: the left-button rule set the button back
};

} // namespace tarvik
