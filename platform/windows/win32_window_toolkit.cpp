// MainWindow as native Win32 gives it: a fixed single frame with caption, system menu and minimise
// box; labels, single-line edit boxes with the client-edge border and a multi-line-capable push
// button that is never the default, all in the default GUI font. The program's texts are code
// page 936 and are shown through the wide-character API; edit-box texts are read and written in
// the system's ANSI code page, the form the program's values take.
#include "platform/windows/win32_window_toolkit.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/windows/code_page_936.h"

namespace lumaclip {
namespace {

constexpr wchar_t kWindowClassName[] = L"LumaclipMainWindow";
constexpr wchar_t kIconName[] = L"DEFAULT_ICON";
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kFrameExStyle = WS_EX_APPWINDOW;

// "错误"
constexpr std::string_view kFatalCaption = "\xB4\xED\xCE\xF3";

struct ToolkitState {
  std::span<const WindowTemplate> templates;
  const WindowTemplate* loaded = nullptr;
  HWND window = nullptr;
  HWND lastFocus = nullptr;
  std::vector<ClickBinding> bindings;
  HICON largeIcon = nullptr;
  HICON smallIcon = nullptr;
};

ToolkitState& State() {
  static ToolkitState state;
  return state;
}

HINSTANCE Instance() {
  return GetModuleHandleW(nullptr);
}

bool IsInLoadedWindow(HWND handle) {
  const HWND window = State().window;
  return window != nullptr && handle != nullptr && (handle == window || IsChild(window, handle));
}

uint32_t NumberOf(HWND control) {
  return static_cast<uint32_t>(GetWindowLongPtrW(control, GWLP_ID));
}

void RunClickRoutine(HWND control) {
  const uint32_t number = NumberOf(control);
  for (const ClickBinding& binding : State().bindings) {
    if (binding.control == number && binding.routine != nullptr) binding.routine();
  }
}

bool IsBoundButton(HWND control) {
  if (control == nullptr || !IsChild(State().window, control)) return false;
  const uint32_t number = NumberOf(control);
  for (const ClickBinding& binding : State().bindings) {
    if (binding.control == number) return true;
  }
  return false;
}

void RememberFocus() {
  const HWND focus = GetFocus();
  if (focus != nullptr && IsChild(State().window, focus)) State().lastFocus = focus;
}

void RestoreFocus(HWND window) {
  HWND target = State().lastFocus;
  if (target == nullptr || !IsWindow(target)) target = GetNextDlgTabItem(window, nullptr, FALSE);
  if (target != nullptr) SetFocus(target);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const auto control = reinterpret_cast<HWND>(lParam);
      const WORD code = HIWORD(wParam);
      // Control numbers are 32 bits, so a click is recognised by the control's handle; the low
      // word of 编辑框1's number happens to equal IDCANCEL.
      if (code == BN_CLICKED && IsBoundButton(control)) {
        RunClickRoutine(control);
        return 0;
      }
      if (code == 0 && LOWORD(wParam) == IDCANCEL) {
        // Escape: closes the window exactly as the close box does.
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
      }
      return 0;  // IDOK (Enter) and everything else: no action
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        RememberFocus();
      } else if (HIWORD(wParam) == 0) {  // not minimised
        RestoreFocus(window);
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(window);
      return 0;
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CTLCOLOREDIT: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_HELP:
      return TRUE;  // F1: no help
    case WM_DESTROY:
      if (window == State().window) {
        State().window = nullptr;
        State().lastFocus = nullptr;
        PostQuitMessage(0);
      }
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HICON LoadProgramIcon(int sizeMetricX, int sizeMetricY) {
  return static_cast<HICON>(LoadImageW(Instance(), kIconName, IMAGE_ICON,
                                       GetSystemMetrics(sizeMetricX), GetSystemMetrics(sizeMetricY),
                                       LR_DEFAULTCOLOR));
}

void StartUp(std::span<const WindowTemplate> templates) {
  ToolkitState& state = State();
  state.templates = templates;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  state.largeIcon = LoadProgramIcon(SM_CXICON, SM_CYICON);
  state.smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = Instance();
  windowClass.hIcon = state.largeIcon;
  windowClass.hIconSm = state.smallIcon;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClassName;
  RegisterClassExW(&windowClass);
}

struct ControlClass {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassFor(const ControlTemplate& control) {
  DWORD tabStop = control.takesFocusByTab ? WS_TABSTOP : 0;
  switch (control.kind) {
    case ControlKind::kLabel:
      // SS_CENTERIMAGE keeps a text label on one line and centres it vertically.
      return {L"STATIC", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | tabStop, 0};
    case ControlKind::kEditBox:
      return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | tabStop, WS_EX_CLIENTEDGE};
    case ControlKind::kButton:
      return {L"BUTTON", BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER | tabStop, 0};
  }
  return {L"STATIC", 0, 0};
}

bool CreateControls(HWND window, const WindowTemplate& windowTemplate) {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageW(window, WM_SETFONT, font, FALSE);
  // Creation order is the Tab order.
  for (const ControlTemplate& control : windowTemplate.controls) {
    const ControlClass controlClass = ClassFor(control);
    const std::wstring text = WideFromCodePage936(control.text);
    const HWND handle = CreateWindowExW(
        controlClass.exStyle, controlClass.className, text.c_str(),
        WS_CHILD | WS_VISIBLE | controlClass.style, control.left, control.top, control.width,
        control.height, window, reinterpret_cast<HMENU>(static_cast<uintptr_t>(control.number)),
        Instance(), nullptr);
    if (handle == nullptr) return false;
    SendMessageW(handle, WM_SETFONT, font, FALSE);
    // No limit below the platform's own maximum.
    if (control.kind == ControlKind::kEditBox) SendMessageW(handle, EM_SETLIMITTEXT, 0, 0);
  }
  return true;
}

const WindowTemplate* FindTemplate(uint32_t windowNumber) {
  for (const WindowTemplate& candidate : State().templates) {
    if (candidate.number == windowNumber) return &candidate;
  }
  return nullptr;
}

LoadWindowResult LoadWindow(uint32_t windowNumber, std::span<const ClickBinding> bindings) {
  ToolkitState& state = State();
  const WindowTemplate* windowTemplate = FindTemplate(windowNumber);
  if (windowTemplate == nullptr) return LoadWindowResult::kNoTemplate;

  // Centred on the primary display, each division dropping its remainder.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - windowTemplate->outerWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - windowTemplate->outerHeight) / 2;
  const std::wstring caption = WideFromCodePage936(windowTemplate->caption);
  const HWND window =
      CreateWindowExW(kFrameExStyle, kWindowClassName, caption.c_str(), kFrameStyle, left, top,
                      windowTemplate->outerWidth, windowTemplate->outerHeight, nullptr, nullptr,
                      Instance(), nullptr);
  if (window == nullptr) return LoadWindowResult::kNotCreated;
  state.window = window;
  state.loaded = windowTemplate;
  state.bindings.assign(bindings.begin(), bindings.end());
  if (!CreateControls(window, *windowTemplate)) {
    DestroyWindow(window);
    return LoadWindowResult::kNotCreated;
  }
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.largeIcon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon));

  state.lastFocus = GetNextDlgTabItem(window, nullptr, FALSE);  // 编辑框1
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  if (state.lastFocus != nullptr) SetFocus(state.lastFocus);
  return LoadWindowResult::kLoaded;
}

int32_t RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int32_t>(message.wParam);
    if (got == -1) return -1;
    if (PreTranslateWindowMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The control of that number in the loaded window of that number; null when there is none.
HWND ControlOf(uint32_t window, uint32_t control) {
  const WindowTemplate* loaded = State().loaded;
  return loaded != nullptr && loaded->number == window ? ControlHandle(control) : nullptr;
}

Text ReadProperty(uint32_t window, uint32_t control, int32_t property, int32_t part) {
  const HWND handle = property == kTextProperty ? ControlOf(window, control) : nullptr;
  if (handle == nullptr) return {};
  const int capacity = GetWindowTextLengthA(handle) + 1;
  if (capacity <= 1) return {};
  std::string buffer(static_cast<std::size_t>(capacity), '\0');
  const int length = GetWindowTextA(handle, buffer.data(), capacity);
  return Text::FromBytes(std::string_view(buffer.data(), length > 0 ? length : 0));
}

void WriteProperty(uint32_t window, uint32_t control, int32_t property, int32_t part,
                   const Text& value) {
  const HWND handle = property == kTextProperty ? ControlOf(window, control) : nullptr;
  if (handle != nullptr) SetWindowTextA(handle, value.CString());
}

void ShowFatalReport(std::string_view report) {
  const std::wstring text = WideFromCodePage936(report);
  const std::wstring caption = WideFromCodePage936(kFatalCaption);
  // No owner; task-modal so that the program's window takes no input while the report is up.
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

[[noreturn]] void EndProcess(int32_t exitCode) {
  ExitProcess(static_cast<UINT>(exitCode));
}

constexpr WindowToolkit kToolkit{
    StartUp,          // startUp
    LoadWindow,       // loadWindow
    RunMessageLoop,   // runMessageLoop
    ReadProperty,     // readProperty
    WriteProperty,    // writeProperty
    ShowFatalReport,  // showFatalReport
    EndProcess,       // endProcess
};

}  // namespace

const WindowToolkit& Win32WindowToolkit() {
  return kToolkit;
}

bool PreTranslateWindowMessage(MSG& message) {
  if (!IsInLoadedWindow(message.hwnd)) return false;
  // Enter does nothing anywhere in the window; dialog navigation would click a focused button.
  if ((message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
       message.message == WM_CHAR) &&
      message.wParam == VK_RETURN) {
    return true;
  }
  return IsDialogMessageW(State().window, &message) != FALSE;
}

HWND LoadedWindowHandle() {
  return State().window;
}

HWND ControlHandle(uint32_t controlNumber) {
  const HWND window = State().window;
  if (window == nullptr) return nullptr;
  // Compared in full: control numbers use all 32 bits.
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (static_cast<uint32_t>(GetWindowLongPtrW(child, GWLP_ID)) == controlNumber) return child;
  }
  return nullptr;
}

}  // namespace lumaclip
