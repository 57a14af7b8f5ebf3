#include "window/core/window_core.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/speed_scheme.h"
#include "window/core/shown_text.h"
#include "window/core/window_view.h"

namespace routalo {
namespace {

const std::string kProgramTitle = "Routalo";
const std::string kInfoText =
    "Copyright \xC2\xA9 De makers van Routalo.\n"
    "Gebruik van dit programma is vrij en geheel op eigen risico, zonder enige garantie.";
const std::string kNoFileMessage = "Klik eerst op File open en kies een bestand.";
const std::string kSchemeName = "Zozedidu default schema t/m 24km/h";
const std::string kDialogTitle = "File Open";
constexpr std::array<FileFilter, 2> kDialogFilters{{
    {"CSV GPS files (*.csv)", "*.csv"},
    {"All files (*.*)", "*.*"},
}};

// Which event of which control runs which handler; any other runs none.
struct EventRoute {
    Control control;
    ControlEvent event;
    void (WindowCore::*handler)();
};
constexpr std::array<EventRoute, 6> kEventRoutes{{
    {Control::kCmdFile, ControlEvent::kClick, &WindowCore::cmdFile_Click},
    {Control::kChkGenTimeInfo, ControlEvent::kClick, &WindowCore::chkGenTimeInfo_Click},
    {Control::kCmbKleuren, ControlEvent::kChange, &WindowCore::cmbKleuren_Change},
    {Control::kTxtNaam, ControlEvent::kChange, &WindowCore::txtNaam_Change},
    {Control::kCmdConverteer, ControlEvent::kClick, &WindowCore::cmdConverteer_Click},
    {Control::kCmdInfo, ControlEvent::kClick, &WindowCore::cmdInfo_Click},
}};

// `path` for the file system: its bytes taken as UTF-8, as the program keeps
// every path; a plain std::string would be read in the ANSI code page on
// Windows. On POSIX systems the bytes pass as they are, UTF-8 or not.
std::filesystem::path FileSystemPath(const std::string& path) {
    return {std::u8string(path.begin(), path.end())};
}

std::string Bytes(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

}  // namespace

// A NUL would end the name where the system reads it: "a.csv\0x" would be
// taken for "a.csv".
bool NamesFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && path.find('\0') == std::string::npos &&
           std::filesystem::is_regular_file(FileSystemPath(path), error);
}

void WindowCore::SetStepBold(Step step, bool bold) {
    stepBold_.at(IndexOf(step)) = bold;
    view_.SetStepBold(step, bold);
}

void WindowCore::SetPointerShape(PointerShape shape) {
    pointer_ = shape;
    view_.SetPointerShape(shape);
}

void WindowCore::Handle(Control control, ControlEvent event) {
    if (event == ControlEvent::kChange && settingText_ == control) {
        return;
    }
    for (const EventRoute& route : kEventRoutes) {
        if (route.control == control && route.event == event) {
            (this->*route.handler)();
            return;
        }
    }
}

void WindowCore::MouseDown(MouseButton button, bool onBackground) {
    backgroundPressed_ = button == MouseButton::kLeft && onBackground;
}

void WindowCore::MouseUp(MouseButton button, bool insideWindow) {
    const bool click = backgroundPressed_ && button == MouseButton::kLeft && insideWindow;
    backgroundPressed_ = false;
    if (click) {
        Form_Click();
    }
}

std::optional<std::string> WindowCore::DroppedFile(const std::vector<std::string>& paths) {
    if (paths.size() != 1 || !NamesFile(paths.front())) {
        return std::nullopt;
    }
    return paths.front();
}

bool WindowCore::Drop(const std::vector<std::string>& paths) {
    const std::optional<std::string> file = DroppedFile(paths);
    return file && OpenFile(*file);
}

void WindowCore::Form_Load() {
    sourceFileName_.clear();
    InitSpeedScheme();
    SetStepBold(Step::kChooseSource, true);
    // Setting the text is a change of the scheme box, as typing in it is;
    // the core runs its handler once, whether or not the view reports it.
    settingText_ = Control::kCmbKleuren;
    view_.SetSchemeText(kSchemeName);
    settingText_.reset();
    cmbKleuren_Change();
}

void WindowCore::Form_Click() {
    ShowInfo();
}

void WindowCore::cmdFile_Click() {
    if (std::optional<std::string> chosen =
            view_.ChooseFile(kDialogTitle, kDialogFilters, dialogFileName_)) {
        dialogFileName_ = std::move(*chosen);
    }
    TakeDialogFileName();
}

// After a cancel FileName is the last confirmed choice, or empty when there
// was none; the source follows it either way.
void WindowCore::TakeDialogFileName() {
    sourceFileName_ = dialogFileName_;
    if (sourceFileName_.empty()) {
        view_.SetCaption(kProgramTitle);
        return;
    }
    // A byte that is no UTF-8 shows as U+FFFD; the source keeps the bytes.
    view_.SetCaption(kProgramTitle + " - " + ShownText(sourceFileName_));
    SetStepBold(Step::kChooseSource, false);
    SetStepBold(Step::kChooseOutput, true);
}

void WindowCore::chkGenTimeInfo_Click() {
    SetStepBold(Step::kChooseOutput, false);
    SetStepBold(Step::kNameTrack, true);
}

// The scheme's text is never read: the conversion has one built-in scheme.
void WindowCore::cmbKleuren_Change() {
    SetStepBold(Step::kChooseOutput, false);
    SetStepBold(Step::kNameTrack, true);
}

void WindowCore::txtNaam_Change() {
    SetStepBold(Step::kNameTrack, false);
    SetStepBold(Step::kConvert, true);
}

// Converts synchronously: the window takes no input until the run returns.
// The run reports its own failures, through a critical-error box.
void WindowCore::cmdConverteer_Click() {
    SetStepBold(Step::kConvert, false);
    if (!sourceFileName_.empty()) {
        const PointerShape previousPointer = pointer_;
        SetPointerShape(PointerShape::kHourglass);
        const std::string trackName = view_.NameText();
        ConvertTrackLog(sourceFileName_, trackName, view_.TimeInfoTicked(),
                        [this](const std::string& message) {
                            view_.ShowMessage(message, MessageStyle::kCritical, kProgramTitle);
                        });
        SetPointerShape(previousPointer);
    } else {
        view_.ShowMessage(kNoFileMessage, MessageStyle::kOkOnly, kProgramTitle);
    }
    SetStepBold(Step::kChooseSource, true);
}

void WindowCore::cmdInfo_Click() {
    ShowInfo();
}

void WindowCore::ShowInfo() {
    view_.ShowMessage(kInfoText, MessageStyle::kInformation, kProgramTitle);
}

// The absolute path names the file that the relative one names: the working
// folder goes in front, and of the steps only "." and empty ones are left
// out. A ".." stays, since after a link it leads out of the folder the link
// points to, not out of the link's own (as the system resolves it, and the
// converter opens it). Windows itself resolves ".." by text, and so does
// std::filesystem::absolute there.
bool WindowCore::OpenFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(FileSystemPath(path), error);
    if (!NamesFile(path) || error) {
        return false;
    }
    std::filesystem::path full;
    for (const std::filesystem::path& step : absolute) {
        if (!step.empty() && step != ".") {
            full /= step;
        }
    }
    dialogFileName_ = Bytes(full);
    TakeDialogFileName();
    return true;
}

}  // namespace routalo
