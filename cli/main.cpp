// lumaclip-cli: the window program's job from a terminal, over the same core. It binds the
// request layer as the window program does and shows fatal reports on standard error, in the
// terminal's own encoding when that is UTF-8.
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "platform/linux/system/library_loader.h"
#include "text/fatal_report.h"

namespace {

using namespace lumaclip;

bool g_terminalIsUtf8 = false;

// The report is in code page 936; a UTF-8 terminal gets it converted, anything else as it is.
void ShowReport(std::string_view report) {
  std::string shown(report);
  if (g_terminalIsUtf8) {
    if (iconv_t converter = iconv_open("UTF-8", "GBK");
        converter != reinterpret_cast<iconv_t>(-1)) {
      std::string converted(report.size() * 2 + 4, '\0');
      char* in = shown.data();
      std::size_t inLeft = shown.size();
      char* out = converted.data();
      std::size_t outLeft = converted.size();
      if (iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)) {
        converted.resize(converted.size() - outLeft);
        shown = std::move(converted);
      }
      iconv_close(converter);
    }
  }
  std::fwrite(shown.data(), 1, shown.size(), stderr);
  std::fflush(stderr);
}

void EndProcess(int32_t exitCode) {
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", cli::kProgramName,
               message.c_str(), cli::kProgramName);
  return cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");
  g_terminalIsUtf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  std::setlocale(LC_CTYPE, "C");  // the core's text handling is bytewise

  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const cli::CommandLine commandLine = cli::ParseCommandLine(arguments);
  switch (commandLine.action) {
    case cli::Action::kHelp:
      std::fputs(cli::ResolveUsage().c_str(), stdout);
      return cli::kExitOk;
    case cli::Action::kFetchHelp:
      std::fputs(cli::FetchUsage().c_str(), stdout);
      return cli::kExitOk;
    case cli::Action::kVersion:
      std::fputs(cli::VersionText().c_str(), stdout);
      return cli::kExitOk;
    case cli::Action::kUsageError:
      return UsageError(commandLine.error);
    case cli::Action::kResolve:
    case cli::Action::kFetch:
      break;
  }
  const cli::Terminal terminal{isatty(STDIN_FILENO) == 1, isatty(STDERR_FILENO) == 1};
  if (commandLine.action == cli::Action::kResolve && commandLine.resolve.links.empty() &&
      !commandLine.resolve.pageFile && terminal.standardInput) {
    return UsageError("no link given (links come as arguments or on standard input)");
  }

  SetFatalReportSink(FatalReportSink{ShowReport, EndProcess});
  linux_system::InstallLinuxLibraryLoader();
  // The request layer stays loaded to the end: unloading it would gain nothing at exit, and its
  // transfer machinery keeps state for the whole run.
  return commandLine.action == cli::Action::kFetch ? cli::RunFetch(commandLine.fetch)
                                                   : cli::RunResolve(commandLine.resolve, terminal);
}
