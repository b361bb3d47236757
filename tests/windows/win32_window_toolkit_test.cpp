// The Win32 toolkit on a real window: MainWindow's frame, controls and their settings, the keyboard
// (Tab order, Enter, Space, Escape), focus on re-activation, and the text properties in the ANSI
// code page. Keys are fed through the toolkit's own message filter as the message loop feeds them.
#include "platform/windows/win32_window_toolkit.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <span>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/windows/code_page_936.h"

namespace lumaclip {
namespace {

int g_clicks = 0;
void CountClick() {
  ++g_clicks;
}

constexpr WindowTemplate kTemplates[] = {kMainWindow};
constexpr ClickBinding kBindings[] = {{kButton1Number, CountClick}};

const WindowToolkit& Toolkit() {
  return Win32WindowToolkit();
}

// Runs the messages that are waiting, through the toolkit's filter as the loop would. Returns
// false once the quit message has come.
bool Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    if (PreTranslateWindowMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_clicks = 0;
    Toolkit().startUp(std::span<const WindowTemplate>(kTemplates));
    ASSERT_EQ(Toolkit().loadWindow(kMainWindowNumber, std::span<const ClickBinding>(kBindings)),
              LoadWindowResult::kLoaded);
    window_ = LoadedWindowHandle();
    ASSERT_NE(window_, nullptr);
    Pump();
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    SetShift(false);
  }

  static void SetShift(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  // A key as the keyboard delivers it to the focused control: down, then up.
  static void Press(WPARAM key) {
    const HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    Pump();
  }
  static std::wstring WideText(HWND handle) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(handle)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(handle, text.data(), text.size())));
    return text;
  }

  HWND window_ = nullptr;
};

TEST_F(MainWindowTest, FrameIsFixedWithMinimiseBoxAndCentred) {
  const LONG style = GetWindowLongW(window_, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD | WS_POPUP), 0);
  EXPECT_EQ(GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(IsWindowVisible(window_));
  EXPECT_TRUE(IsWindowEnabled(window_));
  EXPECT_EQ(WideText(window_), L"Lumaclip");

  RECT outer;
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.right - outer.left, 876);
  EXPECT_EQ(outer.bottom - outer.top, 174);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 876) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 174) / 2);

  EXPECT_EQ(GetClassLongPtrW(window_, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
  EXPECT_NE(SendMessageW(window_, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageW(window_, WM_GETICON, ICON_SMALL, 0), 0);
  // The system menu keeps Move and Close; maximising is not offered.
  const HMENU menu = GetSystemMenu(window_, FALSE);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuState(menu, SC_MOVE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);
  EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);
}

TEST_F(MainWindowTest, ControlsStandWhereTheTemplateSaysWithTheirSettings) {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  for (const ControlTemplate& control : kMainWindowControls) {
    SCOPED_TRACE(static_cast<int>(control.number));
    const HWND handle = ControlHandle(control.number);
    ASSERT_NE(handle, nullptr);
    RECT box;
    GetWindowRect(handle, &box);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(box.left, control.left);
    EXPECT_EQ(box.top, control.top);
    EXPECT_EQ(box.right - box.left, control.width);
    EXPECT_EQ(box.bottom - box.top, control.height);
    EXPECT_EQ(static_cast<WPARAM>(SendMessageW(handle, WM_GETFONT, 0, 0)), font);
    EXPECT_TRUE(IsWindowVisible(handle) && IsWindowEnabled(handle));
    EXPECT_EQ(WideText(handle), WideFromCodePage936(control.text));

    const LONG style = GetWindowLongW(handle, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(handle, GWL_EXSTYLE);
    EXPECT_EQ((style & WS_TABSTOP) != 0, control.takesFocusByTab);
    wchar_t className[16] = {};
    GetClassNameW(handle, className, 16);
    switch (control.kind) {
      case ControlKind::kLabel:
        EXPECT_EQ(_wcsicmp(className, L"Static"), 0) << className;
        EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
        EXPECT_NE(style & SS_CENTERIMAGE, 0);  // one line, vertically centred
        EXPECT_EQ(exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0);
        break;
      case ControlKind::kEditBox:
        EXPECT_EQ(_wcsicmp(className, L"Edit"), 0) << className;
        EXPECT_NE(style & ES_AUTOHSCROLL, 0);
        EXPECT_EQ(style & (ES_MULTILINE | ES_READONLY | ES_PASSWORD | ES_UPPERCASE | ES_LOWERCASE |
                           ES_NUMBER | ES_NOHIDESEL | ES_CENTER | ES_RIGHT),
                  0);
        EXPECT_NE(exStyle & WS_EX_CLIENTEDGE, 0);
        EXPECT_GE(static_cast<unsigned long long>(SendMessageW(handle, EM_GETLIMITTEXT, 0, 0)),
                  0x7FFFFFFEull);
        break;
      case ControlKind::kButton:
        EXPECT_EQ(_wcsicmp(className, L"Button"), 0) << className;
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);  // not the default button
        EXPECT_NE(style & BS_MULTILINE, 0);
        break;
    }
  }
}

TEST_F(MainWindowTest, FirstEditBoxHasTheFocusWithNothingSelected) {
  const HWND edit1 = ControlHandle(kEditBox1Number);
  EXPECT_EQ(GetFocus(), edit1);
  DWORD start = 1, end = 1;
  SendMessageW(edit1, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u);
}

TEST_F(MainWindowTest, TabAndShiftTabCycleThroughTheThreeControls) {
  const HWND edit1 = ControlHandle(kEditBox1Number);
  const HWND button = ControlHandle(kButton1Number);
  const HWND edit2 = ControlHandle(kEditBox2Number);
  SetFocus(edit1);
  const HWND forward[] = {button, edit2, edit1, button};
  for (HWND expected : forward) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), expected);
  }
  SetShift(true);
  const HWND backward[] = {edit1, edit2, button};
  for (HWND expected : backward) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), expected);
  }
  SetShift(false);
  EXPECT_EQ(g_clicks, 0);
}

TEST_F(MainWindowTest, EnterDoesNothingAnywhere) {
  for (uint32_t number : {kEditBox1Number, kButton1Number, kEditBox2Number}) {
    SCOPED_TRACE(static_cast<int>(number));
    SetFocus(ControlHandle(number));
    Press(VK_RETURN);
    EXPECT_EQ(g_clicks, 0);
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(GetFocus(), ControlHandle(number));
  }
  // The command that dialog navigation would send for Enter is ignored too.
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
  EXPECT_EQ(g_clicks, 0);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(Toolkit()
                .readProperty(kMainWindowNumber, kEditBox2Number, kTextProperty, kWholeProperty)
                .Length(),
            0);
}

TEST_F(MainWindowTest, SpaceOnTheButtonAndAClickRunTheCommand) {
  SetFocus(ControlHandle(kButton1Number));
  Press(VK_SPACE);
  EXPECT_EQ(g_clicks, 1);
  SendMessageW(ControlHandle(kButton1Number), BM_CLICK, 0, 0);
  EXPECT_EQ(g_clicks, 2);
  // Space in an edit box is text.
  SetFocus(ControlHandle(kEditBox1Number));
  PostMessageW(GetFocus(), WM_CHAR, L' ', 1);
  Pump();
  EXPECT_EQ(g_clicks, 2);
}

TEST_F(MainWindowTest, EscapeClosesTheWindowAndEndsTheLoopWithZero) {
  for (uint32_t number : {kEditBox1Number, kButton1Number}) {
    SCOPED_TRACE(static_cast<int>(number));
    SetFocus(ControlHandle(number));
    const HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 1);
    // A guard that ends a loop that would otherwise never return.
    const UINT_PTR guard =
        SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
    EXPECT_EQ(Toolkit().runMessageLoop(), 0);
    KillTimer(nullptr, guard);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(LoadedWindowHandle(), nullptr);
    EXPECT_EQ(g_clicks, 0);
    if (number == kEditBox1Number) SetUp();
  }
}

TEST_F(MainWindowTest, FocusComesBackOnReactivation) {
  const HWND button = ControlHandle(kButton1Number);
  SetFocus(button);
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  SetActiveWindow(other);
  Pump();
  EXPECT_NE(GetFocus(), button);
  SetActiveWindow(window_);
  Pump();
  EXPECT_EQ(GetActiveWindow(), window_);
  EXPECT_EQ(GetFocus(), button);
  DestroyWindow(other);
}

TEST_F(MainWindowTest, TextPropertiesAreReadAndWrittenInTheAnsiCodePage) {
  // 中文 in code page 936 (the code page Wine runs these tests with), and ASCII.
  const std::string chinese =
      "\xD6\xD0\xCE\xC4"
      "abc";
  const std::string longText(100000, 'x');
  for (const std::string& value : {chinese, longText, std::string("/v/clip.mp4")}) {
    SCOPED_TRACE(value.substr(0, 16));
    for (uint32_t number : {kEditBox1Number, kEditBox2Number}) {
      Toolkit().writeProperty(kMainWindowNumber, number, kTextProperty, kWholeProperty,
                              Text::FromBytes(value));
      const Text read =
          Toolkit().readProperty(kMainWindowNumber, number, kTextProperty, kWholeProperty);
      EXPECT_TRUE(read.IsPresent());
      EXPECT_EQ(read.View(), value);
    }
  }
  EXPECT_EQ(WideText(ControlHandle(kEditBox2Number)), L"/v/clip.mp4");

  Toolkit().writeProperty(kMainWindowNumber, kEditBox2Number, kTextProperty, kWholeProperty,
                          Text());
  EXPECT_FALSE(Toolkit()
                   .readProperty(kMainWindowNumber, kEditBox2Number, kTextProperty, kWholeProperty)
                   .IsPresent());
  // Unknown numbers read as absent and write nothing.
  EXPECT_FALSE(
      Toolkit().readProperty(kMainWindowNumber, 0x1234, kTextProperty, kWholeProperty).IsPresent());
  EXPECT_FALSE(
      Toolkit().readProperty(0x1234, kEditBox1Number, kTextProperty, kWholeProperty).IsPresent());
  Toolkit().writeProperty(0x1234, kEditBox1Number, kTextProperty, kWholeProperty,
                          Text::Literal("x"));
  EXPECT_EQ(Toolkit()
                .readProperty(kMainWindowNumber, kEditBox1Number, kTextProperty, kWholeProperty)
                .View(),
            "/v/clip.mp4");
}

// The manifest is in force: the common controls come from the side-by-side version 6 assembly, and
// the process is DPI-aware.
TEST(Win32WindowToolkitTest, ManifestAsksForCommonControls6AndDpiAwareness) {
  const HMODULE controls = GetModuleHandleW(L"comctl32.dll");
  ASSERT_NE(controls, nullptr);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(controls, path, MAX_PATH);
  std::wstring lowered(path);
  for (wchar_t& c : lowered) c = static_cast<wchar_t>(towlower(c));
  EXPECT_NE(lowered.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."),
            std::wstring::npos)
      << "comctl32 from " << std::string(lowered.begin(), lowered.end());
  EXPECT_TRUE(IsProcessDPIAware());
}

TEST(Win32WindowToolkitTest, UnknownWindowNumberHasNoTemplate) {
  Toolkit().startUp(std::span<const WindowTemplate>(kTemplates));
  EXPECT_EQ(Toolkit().loadWindow(0x1234, std::span<const ClickBinding>(kBindings)),
            LoadWindowResult::kNoTemplate);
  EXPECT_EQ(LoadedWindowHandle(), nullptr);
}

}  // namespace
}  // namespace lumaclip
