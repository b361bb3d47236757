// lumaclip-cli [options] [LINK...]: the links in order, from the arguments and standard input,
// resolved up to --jobs at a time, each result written in input order as soon as it and every
// result before it are known.
#include <atomic>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/input_lines.h"
#include "cli/link_resolution.h"
#include "cli/ordered_batch.h"
#include "cli/output_text.h"
#include "cli/progress_line.h"

namespace lumaclip::cli {
namespace {

// The links of the arguments in order, with standard input read where "-" stands. The total is
// known from the start unless standard input is read.
class LinkSource {
 public:
  LinkSource(const std::vector<std::string>& operands, ProgressLine& progress)
      : operands_(operands), progress_(progress), reader_(stdin) {
    for (const std::string& operand : operands_) readsInput_ = readsInput_ || operand == "-";
    if (!readsInput_) progress_.SetTotal(operands_.size(), true);
  }

  std::optional<InputLine> Next() {
    while (operand_ < operands_.size()) {
      if (operands_[operand_] != "-") return Taken(InputLine{operands_[operand_++], false});
      if (std::optional<InputLine> line = reader_.Next()) return Taken(std::move(*line));
      ++operand_;
    }
    if (readsInput_) progress_.SetTotal(taken_, true);
    return std::nullopt;
  }

 private:
  InputLine Taken(InputLine line) {
    ++taken_;
    if (readsInput_) progress_.SetTotal(taken_, false);
    return line;
  }

  const std::vector<std::string>& operands_;
  ProgressLine& progress_;
  LineReader reader_;
  bool readsInput_ = false;
  std::size_t operand_ = 0;
  std::size_t taken_ = 0;
};

LinkResult TooLong(const InputLine& line) {
  LinkResult result;
  result.input = line.text.substr(0, 64);
  result.status = LinkStatus::kNoLink;
  result.detail = "the input line is longer than 1 MiB";
  return result;
}

}  // namespace

void Complain(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
}

int RunResolve(const ResolveOptions& options, const Terminal& terminal) {
  const ResolveSettings settings{options.extractLink, options.check, options.absolute,
                                 options.verbose};
  if (options.pageFile) {
    std::string error;
    const std::optional<std::string> body = ReadWholeFile(*options.pageFile, error);
    if (!body) {
      Complain(error);
      return kExitFile;
    }
    const std::string name = *options.pageFile == "-" ? "standard input" : *options.pageFile;
    const LinkResult result = ResolveSavedPage(name, *body, settings);
    std::fputs(result.notes.c_str(), stderr);
    std::fputs(FailureMessage(result).c_str(), stderr);
    const std::string line = options.json ? JsonLine(result, false) : PlainLine(result);
    std::string writeError;
    if (!WriteWholeFile("-", line, writeError)) {
      Complain(writeError);
      return kExitFile;
    }
    return result.status == LinkStatus::kOk ? kExitOk : kExitFailed;
  }

  std::vector<std::string> operands = options.links;
  if (operands.empty()) operands.push_back("-");
  const bool batch = operands.size() > 1 || operands.front() == "-";
  ProgressLine progress(stderr, batch && terminal.standardError);
  LinkSource source(operands, progress);
  std::atomic<bool> anyFailed{false};
  std::string writeError;

  OrderedBatch<InputLine, LinkResult> run;
  run.next = [&] { return source.Next(); };
  run.work = [&](InputLine& line) {
    return line.tooLong ? TooLong(line) : ResolveLink(line.text, settings);
  };
  run.finished = [&](const LinkResult& result) {
    progress.Finished(result.status != LinkStatus::kOk);
  };
  run.emit = [&](LinkResult& result) {
    if (result.status != LinkStatus::kOk) anyFailed = true;
    const std::string messages = result.notes + FailureMessage(result);
    if (!messages.empty()) progress.Write(messages);
    const std::string line =
        options.json ? JsonLine(result, options.extractLink) : PlainLine(result);
    return WriteWholeFile("-", line, writeError);
  };
  const bool completed = RunOrderedBatch(options.jobs, run);
  progress.Close();
  if (!completed) {
    Complain(writeError);
    return kExitFile;
  }
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace lumaclip::cli
