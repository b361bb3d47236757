// The start sequence and the Parse command. Both reach the window only through the toolkit table
// that the platform hands to StartProgram, so every platform runs this same code.
#include "app/start_program.h"

#include <span>

#include "app/derive_video_address.h"
#include "app/main_window.h"
#include "text/fatal_report.h"
#include "web/fetch_web_page.h"

namespace lumaclip {
namespace {

// "载入窗口模板数据段出错!"
constexpr std::string_view kNoTemplateMessage =
    "\xD4\xD8\xC8\xEB\xB4\xB0\xBF\xDA\xC4\xA3\xB0\xE5\xCA\xFD\xBE\xDD\xB6\xCE\xB3\xF6\xB4\xED!";
// "载入启动窗口失败"
constexpr std::string_view kNotCreatedMessage =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";

constexpr WindowTemplate kWindowTemplates[] = {kMainWindow};
constexpr ClickBinding kClickBindings[] = {{kButton1Number, OnParseClicked}};

// Set once by StartProgram; the Parse command and the fatal report run only after that.
const WindowToolkit* g_toolkit = nullptr;

void ShowInMessageBox(std::string_view report) {
  g_toolkit->showFatalReport(report);
}
void EndThroughToolkit(int32_t exitCode) {
  g_toolkit->endProcess(exitCode);
}

}  // namespace

int32_t StartProgram(const WindowToolkit& toolkit) {
  g_toolkit = &toolkit;
  SetFatalReportSink({ShowInMessageBox, EndThroughToolkit});
  toolkit.startUp(std::span<const WindowTemplate>(kWindowTemplates));
  // The end-of-program routine and the two start hooks would run here; this program has none.
  switch (toolkit.loadWindow(kMainWindowNumber, std::span<const ClickBinding>(kClickBindings))) {
    case LoadWindowResult::kLoaded:
      break;
    case LoadWindowResult::kNoTemplate:
      FatalReport(0, kNoTemplateMessage);
    case LoadWindowResult::kNotCreated:
      FatalReport(0, kNotCreatedMessage);
  }
  toolkit.runMessageLoop();
  return 0;
}

void OnParseClicked() {
  Bytes pageBody;
  {
    Text link =
        g_toolkit->readProperty(kMainWindowNumber, kEditBox1Number, kTextProperty, kWholeProperty);
    // Every optional parameter left out: a GET that follows redirects, goes out directly and
    // keeps the library's own cookie handling; what the request writes back is not wanted.
    pageBody = FetchWebPage(link);
  }
  Text result = DeriveVideoAddress(pageBody);
  pageBody = Bytes();
  g_toolkit->writeProperty(kMainWindowNumber, kEditBox2Number, kTextProperty, kWholeProperty,
                           result);
}

}  // namespace lumaclip
