// The two subcommands of lumaclip-cli, each returning the program's exit status.
#pragma once

#include <cstdio>

#include "cli/command_line.h"

namespace lumaclip::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a link failed, or fetch got no response
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3;  // a file or standard output could not be read or written

struct Terminal {
  bool standardInput = false;
  bool standardError = false;
};

int RunResolve(const ResolveOptions& options, const Terminal& terminal);
int RunFetch(const FetchOptions& options);

// "lumaclip-cli: MESSAGE" and a line end on standard error.
void Complain(const std::string& message);

}  // namespace lumaclip::cli
