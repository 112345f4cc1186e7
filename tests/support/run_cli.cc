#include "support/run_cli.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace quill::testing {

int RunCli(const std::string& args, std::string& out, std::string& err) {
  TempDir dir;
  const std::string command =
      std::string(QUILLSTONE_CLI) + " " + args + " >" + dir.File("out") + " 2>" + dir.File("err");
  const int status = std::system(command.c_str());
  const auto out_bytes = ReadBytes(dir.File("out"));
  const auto err_bytes = ReadBytes(dir.File("err"));
  out.assign(out_bytes.begin(), out_bytes.end());
  err.assign(err_bytes.begin(), err_bytes.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quill::testing
