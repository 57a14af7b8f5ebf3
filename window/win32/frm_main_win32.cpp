#include "window/win32/frm_main_win32.h"

// windows.h before the headers that build on it.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/utf16.h"
#include "window/core/controls.h"
#include "window/core/pointer_shape.h"
#include "window/core/window_core.h"
#include "window/core/window_view.h"

namespace routalo {
namespace {

constexpr wchar_t kClassName[] = L"RoutaloWindow";
// The control made from kControls[i] has the id kFirstControlId + i.
constexpr int kFirstControlId = 100;
// The icon in the program's resources (routalo.rc.in).
constexpr int kIconId = 1;
constexpr int kTwipsPerInch = 1440;
// The fixed window: a caption with a system menu and a minimise box, no
// sizing border, no maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;

std::wstring Wide(std::string_view text) {
    const std::u16string wide = Utf16FromUtf8(text);
    return {wide.begin(), wide.end()};
}

std::string Narrow(std::wstring_view text) {
    return Utf8FromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

int Pixels(int twips, UINT dpi) {
    return ::MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch);
}

// The system's icon that a message box of `style` shows.
UINT IconOf(MessageStyle style) {
    switch (style) {
        case MessageStyle::kCritical:
            return MB_ICONERROR;
        case MessageStyle::kInformation:
            return MB_ICONINFORMATION;
        case MessageStyle::kOkOnly:
            break;
    }
    return 0;
}

// The system's window text, as UTF-8.
std::string WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

// The fonts of one DPI: the system's message font for every control, the
// same in bold for a step label that is due, and the "i" button's own.
class Fonts {
  public:
    explicit Fonts(UINT dpi) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                          dpi)) {
            ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW),
                         &metrics.lfMessageFont);
        }
        LOGFONTW message = metrics.lfMessageFont;
        normal_ = ::CreateFontIndirectW(&message);
        message.lfWeight = FW_BOLD;
        bold_ = ::CreateFontIndirectW(&message);
        LOGFONTW info{};
        info.lfHeight = -::MulDiv(12, static_cast<int>(dpi), 72);
        info.lfWeight = FW_BOLD;
        info.lfItalic = TRUE;
        info.lfCharSet = DEFAULT_CHARSET;
        info.lfQuality = CLEARTYPE_QUALITY;
        ::lstrcpynW(info.lfFaceName, L"Times New Roman", LF_FACESIZE);
        info_ = ::CreateFontIndirectW(&info);
    }
    ~Fonts() {
        for (HFONT font : {normal_, bold_, info_}) {
            if (font != nullptr) {
                ::DeleteObject(font);
            }
        }
    }
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    [[nodiscard]] HFONT Normal() const { return normal_; }
    [[nodiscard]] HFONT Bold() const { return bold_; }
    [[nodiscard]] HFONT Info() const { return info_; }

  private:
    HFONT normal_ = nullptr;
    HFONT bold_ = nullptr;
    HFONT info_ = nullptr;
};

class Win32Window final : private WindowView {
  public:
    Win32Window() = default;
    ~Win32Window() override = default;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // Makes the window and its controls, runs Form_Load, takes `file` and
    // shows the window. False when the window cannot be made.
    bool Create(HINSTANCE instance, const std::string& file);

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    [[nodiscard]] HWND Hwnd() const { return window_; }

  private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(HINSTANCE instance);
    // Places the window and every control for `dpi`, with its fonts.
    void Layout(UINT dpi, const RECT* suggested);
    void Command(int id, int code);
    [[nodiscard]] HWND ControlWindow(Control control) const {
        return controls_.at(IndexOf(control));
    }
    [[nodiscard]] HFONT FontOf(Control control) const;
    [[nodiscard]] bool IsBackground(POINT point) const;
    [[nodiscard]] bool IsInside(POINT point) const;

    // What the core asks of the window.
    void SetStepBold(Step step, bool bold) override;
    void SetCaption(const std::string& caption) override;
    void SetPointerShape(PointerShape shape) override;
    void ShowMessage(const std::string& text, MessageStyle style,
                     const std::string& title) override;
    std::optional<std::string> ChooseFile(const std::string& title,
                                          std::span<const FileFilter> filters,
                                          const std::string& fileName) override;
    void SetSchemeText(const std::string& text) override;
    [[nodiscard]] std::string NameText() const override;
    [[nodiscard]] bool TimeInfoTicked() const override;

    HWND window_ = nullptr;
    // Indexed by Control.
    std::array<HWND, kControlCount> controls_{};
    std::unique_ptr<Fonts> fonts_;
    HWND lastFocus_ = nullptr;
    WindowCore core_{*this};
};

bool Win32Window::Create(HINSTANCE instance, const std::string& file) {
    const std::wstring caption = Wide(kStartCaption);
    window_ = ::CreateWindowExW(kWindowExStyle, kClassName, caption.c_str(), kWindowStyle,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    CreateControls(instance);
    Layout(::GetDpiForWindow(window_), nullptr);
    ::DragAcceptFiles(window_, TRUE);
    core_.Form_Load();
    if (!file.empty()) {
        core_.OpenFile(file);
    }
    ::ShowWindow(window_, SW_SHOWDEFAULT);
    ::UpdateWindow(window_);
    lastFocus_ = ControlWindow(kFocusOrder.front());
    ::SetFocus(lastFocus_);
    return true;
}

// The controls that take the focus are made first, in the focus order, which
// is the order Tab moves in; the labels last, below them, so that "i" lies
// over the end of Label1's box.
void Win32Window::CreateControls(HINSTANCE instance) {
    std::vector<Control> order(kFocusOrder.begin(), kFocusOrder.end());
    for (const ControlDesign& design : kControls) {
        if (design.kind == ControlKind::kLabel) {
            order.push_back(design.control);
        }
    }
    for (const Control control : order) {
        const ControlDesign& design = DesignOf(control);
        const std::size_t index = IndexOf(control);
        const wchar_t* className = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        switch (design.kind) {
            case ControlKind::kLabel:
                style |= SS_LEFT | SS_NOPREFIX;
                break;
            case ControlKind::kCommandButton:
                className = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case ControlKind::kCheckBox:
                className = L"BUTTON";
                style |= WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE;
                break;
            case ControlKind::kComboBox:
                className = L"COMBOBOX";
                style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
                break;
            case ControlKind::kTextBox:
                className = L"EDIT";
                style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
                exStyle |= WS_EX_CLIENTEDGE;
                break;
        }
        const std::wstring text = Wide(design.caption);
        controls_.at(index) = ::CreateWindowExW(
            exStyle, className, design.kind == ControlKind::kComboBox ? L"" : text.c_str(), style,
            0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(
                static_cast<INT_PTR>(kFirstControlId + static_cast<int>(index))),
            instance, nullptr);
    }
}

HFONT Win32Window::FontOf(Control control) const {
    if (control == Control::kCmdInfo) {
        return fonts_->Info();
    }
    // The step marks are the core's; a new DPI draws them as the core has them.
    for (const Step step : kSteps) {
        if (control == StepLabel(step) && core_.StepBold(step)) {
            return fonts_->Bold();
        }
    }
    return fonts_->Normal();
}

void Win32Window::Layout(UINT dpi, const RECT* suggested) {
    // The old fonts go once the controls have the new ones.
    const std::unique_ptr<Fonts> old = std::move(fonts_);
    fonts_ = std::make_unique<Fonts>(dpi);
    RECT frame{0, 0, Pixels(kClientWidthTwips, dpi), Pixels(kClientHeightTwips, dpi)};
    ::AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi);
    if (suggested != nullptr) {
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, frame.right - frame.left,
                       frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    for (const ControlDesign& design : kControls) {
        const TwipsBox& box = design.box;
        int height = Pixels(box.height, dpi);
        // A combo box's height is that of its dropped list; its edit field
        // takes the height of its font.
        if (design.kind == ControlKind::kComboBox) {
            height *= 6;
        }
        const HWND control = ControlWindow(design.control);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(design.control)),
                       FALSE);
        ::SetWindowPos(control, nullptr, Pixels(box.left, dpi), Pixels(box.top, dpi),
                       Pixels(box.width, dpi), height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(window_, nullptr, TRUE);
}

// The core hears of clicks on the buttons and the check box, and of the
// user's edits of the two text boxes.
void Win32Window::Command(int id, int code) {
    if (id == IDOK) {
        // Return, through IsDialogMessage: presses the button that has the focus.
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(window_, focus) &&
            (::SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) != 0) {
            ::SendMessageW(focus, BM_CLICK, 0, 0);
        }
        return;
    }
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(kControlCount)) {
        return;
    }
    const Control control = kControls.at(static_cast<std::size_t>(index)).control;
    const ControlKind kind = DesignOf(control).kind;
    if (code == BN_CLICKED &&
        (kind == ControlKind::kCommandButton || kind == ControlKind::kCheckBox)) {
        core_.Handle(control, ControlEvent::kClick);
    } else if ((code == CBN_EDITCHANGE && kind == ControlKind::kComboBox) ||
               (code == EN_CHANGE && kind == ControlKind::kTextBox)) {
        core_.Handle(control, ControlEvent::kChange);
    }
}

bool Win32Window::IsInside(POINT point) const {
    RECT client;
    ::GetClientRect(window_, &client);
    return ::PtInRect(&client, point) != FALSE;
}

// A point of the client area where no control lies, labels included.
bool Win32Window::IsBackground(POINT point) const {
    return IsInside(point) &&
           ::ChildWindowFromPointEx(window_, point, CWP_SKIPINVISIBLE) == window_;
}

LRESULT CALLBACK Win32Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            core_.MouseDown(MouseButton::kLeft,
                            IsBackground({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
            return 0;
        case WM_LBUTTONUP:
            core_.MouseUp(MouseButton::kLeft,
                          IsInside({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
            return 0;
        case WM_SETCURSOR:
            // The hourglass over the whole window, its controls included,
            // while the core wants it.
            if (core_.Pointer() == PointerShape::kHourglass) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DROPFILES: {
            const auto drop = reinterpret_cast<HDROP>(wParam);
            std::vector<std::string> paths;
            const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
                path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
                paths.push_back(Narrow(path));
            }
            ::DragFinish(drop);
            core_.Drop(paths);
            return 0;
        }
        case WM_ACTIVATE:
            // The focus goes back where it was when the window is active again,
            // as a dialog's does.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = ::GetFocus();
                if (focus != nullptr && ::IsChild(window_, focus)) {
                    lastFocus_ = focus;
                }
            } else if (lastFocus_ != nullptr) {
                ::SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_DPICHANGED:
            Layout(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            ::DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void Win32Window::SetStepBold(Step step, bool bold) {
    const HWND label = ControlWindow(StepLabel(step));
    ::SendMessageW(label, WM_SETFONT,
                   reinterpret_cast<WPARAM>(bold ? fonts_->Bold() : fonts_->Normal()), TRUE);
}

void Win32Window::SetCaption(const std::string& caption) {
    ::SetWindowTextW(window_, Wide(caption).c_str());
}

// The hourglass shows at once: the core converts next, and no message is
// handled until it is done.
void Win32Window::SetPointerShape(PointerShape shape) {
    ::SetCursor(::LoadCursorW(nullptr, shape == PointerShape::kHourglass ? IDC_WAIT : IDC_ARROW));
}

void Win32Window::ShowMessage(const std::string& text, MessageStyle style,
                              const std::string& title) {
    ::MessageBoxW(window_, Wide(text).c_str(), Wide(title).c_str(), MB_OK | IconOf(style));
}

std::optional<std::string> Win32Window::ChooseFile(const std::string& title,
                                                   std::span<const FileFilter> filters,
                                                   const std::string& fileName) {
    // Description and pattern pairs, each ended by a NUL, the list by another.
    std::wstring filterList;
    for (const FileFilter& filter : filters) {
        for (const std::string_view part : {filter.description, filter.patterns}) {
            filterList += Wide(part);
            filterList.push_back(L'\0');
        }
    }
    filterList.push_back(L'\0');
    const std::wstring dialogTitle = Wide(title);
    // Room for a long path.
    std::wstring file = Wide(fileName);
    file.resize(std::max<std::size_t>(file.size() + 1, 32768), L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filterList.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = dialogTitle.c_str();
    // OFN_NOCHANGEDIR: the program's working folder stays as it was. A typed
    // name is returned whether or not its file or folder exists: the
    // conversion says so when it cannot open it.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&dialog)) {
        return std::nullopt;
    }
    return Narrow(file.c_str());
}

void Win32Window::SetSchemeText(const std::string& text) {
    ::SetWindowTextW(ControlWindow(Control::kCmbKleuren), Wide(text).c_str());
}

std::string Win32Window::NameText() const {
    return WindowText(ControlWindow(Control::kTxtNaam));
}

bool Win32Window::TimeInfoTicked() const {
    return ::SendMessageW(ControlWindow(Control::kChkGenTimeInfo), BM_GETCHECK, 0, 0) ==
           BST_CHECKED;
}

}  // namespace

int RunWin32Window(const std::string& file) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Win32Window::Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                     ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(::LoadImageW(
        instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassExW(&windowClass) == 0) {
        return 1;
    }

    Win32Window window;
    if (!window.Create(instance, file)) {
        return 1;
    }
    MSG message;
    BOOL got = 0;
    while ((got = ::GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) {
            return 1;
        }
        // Tab, the arrow keys, Return and the access keys (Alt+F, Alt+S).
        if (!::IsDialogMessageW(window.Hwnd(), &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace routalo
