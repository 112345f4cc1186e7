// Runs the built command-line tool and collects what it printed.
#pragma once

#include <string>

namespace quill::testing {

// Runs `quillstone ARGS` through the shell (ARGS is pasted as written);
// returns its exit code and fills `out` and `err` with stdout and stderr.
int RunCli(const std::string& args, std::string& out, std::string& err);

}  // namespace quill::testing
