// The window's core driven through a view that records every request, as
// the Qt window (and any other view) receives them.
#include "window/core/window_core.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"
#include "tests/support/sample_log.h"
#include "tests/support/scratch_folder.h"
#include "window/core/controls.h"
#include "window/core/pointer_shape.h"
#include "window/core/window_view.h"

namespace routalo::testing {
namespace {

using Requests = std::vector<std::string>;

const std::string kFilter = "CSV GPS files (*.csv)|*.csv|All files (*.*)|*.*|";
const std::string kInfoBox =
    "box 64 Routalo: Copyright \xC2\xA9 De makers van Routalo.\n"
    "Gebruik van dit programma is vrij en geheel op eigen risico, zonder enige garantie.";
const std::string kNoFileBox = "box 0 Routalo: Klik eerst op File open en kies een bestand.";

// The request of a file dialog that opens on `fileName`.
std::string Dialog(const std::string& fileName) {
    return "dialog File Open; " + kFilter + "; " + fileName;
}

// The numbers of the steps that `core` marks bold, in order: "13" for steps 1 and 3.
std::string BoldSteps(const WindowCore& core) {
    std::string bold;
    for (const Step step : kSteps) {
        if (core.StepBold(step)) {
            bold += std::to_string(static_cast<int>(step));
        }
    }
    return bold;
}

// Records every request as one line of text; answers the file dialog with
// the next scripted answer (a path, or nothing for a cancel), and cancels
// when none is left. Like Qt's, it reports the scheme box's new text as a
// change when the core sets it.
class RecordingView : public WindowView {
  public:
    void SetStepBold(Step step, bool bold) override {
        requests.push_back("Label" + std::to_string(static_cast<int>(step)) +
                           (bold ? " bold" : " normal"));
    }
    void SetCaption(const std::string& caption) override {
        requests.push_back("caption " + caption);
    }
    void SetPointerShape(PointerShape shape) override {
        requests.push_back("pointer " + std::to_string(static_cast<int>(shape)));
    }
    void ShowMessage(const std::string& text, MessageStyle style,
                     const std::string& title) override {
        requests.push_back("box " + std::to_string(static_cast<int>(style)) + " " + title + ": " +
                           text);
    }
    std::optional<std::string> ChooseFile(const std::string& title,
                                          std::span<const FileFilter> filters,
                                          const std::string& fileName) override {
        std::string filter;
        for (const FileFilter& f : filters) {
            filter += std::string(f.description) + "|" + std::string(f.patterns) + "|";
        }
        requests.push_back("dialog " + title + "; " + filter + "; " + fileName);
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetSchemeText(const std::string& text) override {
        requests.push_back("scheme " + text);
        if (core != nullptr) {
            core->Handle(Control::kCmbKleuren, ControlEvent::kChange);
        }
    }
    [[nodiscard]] std::string NameText() const override { return name; }
    [[nodiscard]] bool TimeInfoTicked() const override { return ticked; }

    Requests requests;
    std::deque<std::optional<std::string>> answers;
    WindowCore* core = nullptr;
    std::string name;
    bool ticked = false;
};

// A loaded window core whose view has recorded nothing yet.
class WindowCoreTest : public ::testing::Test {
  protected:
    WindowCoreTest() {
        core.Form_Load();
        view.requests.clear();
    }

    // Chooses `path` in the file dialog.
    void Choose(const std::string& path) {
        view.answers.emplace_back(path);
        core.cmdFile_Click();
    }

    RecordingView view;
    WindowCore core{view};
};

// Setting the scheme is one change of the scheme box, whether or not the
// view reports it too.
TEST(WindowCoreStart, MarksStepOneThenSetsTheSchemeWhichMarksStepThree) {
    RecordingView view;
    WindowCore core(view);
    view.core = &core;
    EXPECT_TRUE(view.requests.empty());
    core.Form_Load();
    EXPECT_EQ(view.requests, (Requests{"Label1 bold", "scheme Zozedidu default schema t/m 24km/h",
                                       "Label2 normal", "Label3 bold"}));
    EXPECT_EQ(kFocusOrder,
              (std::array{Control::kCmdFile, Control::kChkGenTimeInfo, Control::kTxtNaam,
                          Control::kCmdConverteer, Control::kCmbKleuren, Control::kCmdInfo}));
    EXPECT_EQ(BoldSteps(core), "13");
    EXPECT_TRUE(core.SourceFileName().empty());
    EXPECT_TRUE(core.DialogFileName().empty());
}

// Which event of which control runs which handler, and what it asks for, in
// order, from the start state; the marks the core keeps follow its requests.
TEST(WindowCoreGuidance, EachHandlerSwitchesItsLabelsInOrder) {
    const struct {
        const char* handler;
        std::function<void(WindowCore&, RecordingView&)> run;
        Requests requests;
        std::string boldAfter;
    } cases[] = {
        {"cmdFile_Click",
         [](WindowCore& core, RecordingView& view) {
             view.answers = {"/data/a.csv"};
             core.Handle(Control::kCmdFile, ControlEvent::kClick);
         },
         {Dialog(""), "caption Routalo - /data/a.csv", "Label1 normal", "Label2 bold"},
         "23"},
        {"chkGenTimeInfo_Click",
         [](WindowCore& core, RecordingView&) {
             core.Handle(Control::kChkGenTimeInfo, ControlEvent::kClick);
         },
         {"Label2 normal", "Label3 bold"},
         "13"},
        {"cmbKleuren_Change",
         [](WindowCore& core, RecordingView&) {
             core.Handle(Control::kCmbKleuren, ControlEvent::kChange);
         },
         {"Label2 normal", "Label3 bold"},
         "13"},
        {"txtNaam_Change",
         [](WindowCore& core, RecordingView&) {
             core.Handle(Control::kTxtNaam, ControlEvent::kChange);
         },
         {"Label3 normal", "Label4 bold"},
         "14"},
        // Without a file: refused in a plain box, the pointer left alone.
        {"cmdConverteer_Click",
         [](WindowCore& core, RecordingView&) {
             core.Handle(Control::kCmdConverteer, ControlEvent::kClick);
         },
         {"Label4 normal", kNoFileBox, "Label1 bold"},
         "13"},
        {"cmdInfo_Click",
         [](WindowCore& core, RecordingView&) {
             core.Handle(Control::kCmdInfo, ControlEvent::kClick);
         },
         {kInfoBox},
         "13"},
        {"Form_Click",
         [](WindowCore& core, RecordingView&) {
             core.MouseDown(MouseButton::kLeft, true);
             core.MouseUp(MouseButton::kLeft, true);
         },
         {kInfoBox},
         "13"},
        {"no handler",
         [](WindowCore& core, RecordingView&) {
             core.Handle(Control::kLabel1, ControlEvent::kClick);
             core.Handle(Control::kCmdFile, ControlEvent::kChange);
             core.Handle(Control::kTxtNaam, ControlEvent::kClick);
         },
         {},
         "13"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.handler);
        RecordingView view;
        WindowCore core(view);
        core.Form_Load();
        view.requests.clear();
        c.run(core, view);
        EXPECT_EQ(view.requests, c.requests);
        EXPECT_EQ(BoldSteps(core), c.boldAfter);
    }
}

// A left press on the background (no control under it, labels included) and
// a left release inside the window, with no other press between, are one
// click on the window; nothing else is.
TEST_F(WindowCoreTest, OnlyALeftPressAndReleaseOnTheBackgroundClickTheWindow) {
    struct Action {
        bool press;
        MouseButton button;
        bool where;  // a press on the background, a release inside the window
    };
    constexpr MouseButton kLeft = MouseButton::kLeft;
    const struct {
        const char* what;
        std::vector<Action> actions;
        std::size_t boxes;
    } cases[] = {
        {"on the background", {{true, kLeft, true}, {false, kLeft, true}}, 1},
        {"pressed on a control", {{true, kLeft, false}, {false, kLeft, true}}, 0},
        {"released outside", {{true, kLeft, true}, {false, kLeft, false}}, 0},
        {"the other button",
         {{true, MouseButton::kOther, true}, {false, MouseButton::kOther, true}},
         0},
        {"another press between",
         {{true, kLeft, true}, {true, MouseButton::kOther, true}, {false, kLeft, true}},
         0},
        {"released twice", {{true, kLeft, true}, {false, kLeft, true}, {false, kLeft, true}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        view.requests.clear();
        for (const Action& action : c.actions) {
            if (action.press) {
                core.MouseDown(action.button, action.where);
            } else {
                core.MouseUp(action.button, action.where);
            }
        }
        EXPECT_EQ(view.requests, Requests(c.boxes, kInfoBox));
    }
}

// A drop opens its file only when it carries one path that names a file.
TEST_F(WindowCoreTest, ADropOpensOneFileAndNothingElse) {
    const ScratchFolder folder;
    const std::string first = folder.Write("a.csv", "");
    const std::string second = folder.Write("b.csv", "");
    std::filesystem::create_directory(folder.Path() / "ritten");
    const struct {
        const char* what;
        std::vector<std::string> paths;
    } refused[] = {
        {"nothing", {}},
        {"two files", {first, second}},
        {"a folder", {folder.File("ritten")}},
        {"a missing file", {folder.File("weg.csv")}},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(WindowCore::DroppedFile(c.paths));
        EXPECT_FALSE(core.Drop(c.paths));
        EXPECT_TRUE(view.requests.empty());
    }
    EXPECT_TRUE(core.Drop({first}));
    EXPECT_EQ(std::filesystem::path(core.SourceFileName()), std::filesystem::path(first));
    EXPECT_EQ(BoldSteps(core), "23");
}

TEST_F(WindowCoreTest, ACancelTakesTheEarlierChoiceAgainOrNone) {
    core.cmdFile_Click();  // no answer: cancelled before any choice
    EXPECT_EQ(view.requests, (Requests{Dialog(""), "caption Routalo"}));
    EXPECT_TRUE(core.SourceFileName().empty());
    EXPECT_EQ(BoldSteps(core), "13");

    Choose("/data/rit.csv");
    core.chkGenTimeInfo_Click();
    view.requests.clear();
    core.cmdFile_Click();  // cancelled: the dialog opened on the choice, which stays
    EXPECT_EQ(view.requests, (Requests{Dialog("/data/rit.csv"), "caption Routalo - /data/rit.csv",
                                       "Label1 normal", "Label2 bold"}));
    EXPECT_EQ(core.SourceFileName(), "/data/rit.csv");
    EXPECT_EQ(core.DialogFileName(), "/data/rit.csv");
    EXPECT_EQ(BoldSteps(core), "23");
}

// The source keeps a path's bytes; the caption shows each byte that is no
// part of a valid UTF-8 sequence as U+FFFD.
TEST_F(WindowCoreTest, TheCaptionShowsBytesThatAreNoUtf8AsReplacementCharacters) {
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    const struct {
        std::string path;
        std::string shown;
    } cases[] = {
        {"/rit \xC3\xBC \xE2\x82\xAC \xF0\x9F\x9A\xB2.csv",
         "/rit \xC3\xBC \xE2\x82\xAC \xF0\x9F\x9A\xB2.csv"},
        {"/a\xFF.csv", "/a" + r + ".csv"},           // no lead byte
        {"/b\xE9\xFF.csv", "/b" + r + r + ".csv"},   // Latin-1
        {"/\x80\xBF", "/" + r + r},                  // continuation bytes alone
        {"/\xE2\x82x", "/" + r + r + "x"},           // cut short
        {"/\xF0\x9F\x9A", "/" + r + r + r},          // cut short at the end
        {"/\xC0\xAF", "/" + r + r},                  // overlong
        {"/\xE0\x80\xAF", "/" + r + r + r},          // overlong
        {"/\xED\xA0\x80", "/" + r + r + r},          // a surrogate
        {"/\xF4\x90\x80\x80", "/" + r + r + r + r},  // above U+10FFFF
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        view.requests.clear();
        Choose(c.path);
        ASSERT_GE(view.requests.size(), 2U);
        EXPECT_EQ(view.requests[1], "caption Routalo - " + c.shown);
        EXPECT_EQ(core.SourceFileName(), c.path);
    }
}

// Every run goes under the hourglass and gives the view its pointer back;
// a failure shows in one critical box while the hourglass is still up.
TEST_F(WindowCoreTest, ConvertsUnderTheHourglassAndReportsEachFailureInOneBox) {
    const ScratchFolder folder;
    const std::string header = std::string(kTrackLogHeader) + "\r\n";
    const std::string log = folder.Write("rit.csv", SampleLog(3));
    const std::string missing = folder.File("weg.csv");
    const std::string wrongHeader = folder.Write("kop.csv", "Lon,Lat\r\n1,2,3,4/5/6,7:8:9,0\r\n");
    const std::string blocked = folder.Write("bezet.csv", SampleLog(3));
    std::filesystem::create_directory(folder.Path() / "bezet.kml");
    const std::string badSpeed =
        folder.Write("snelheid.csv", header + "5.1,52.0,12,7/6/24,9:05:03,0\r\n" +
                                         "5.2,52.1,hard,7/6/24,9:05:13,80\r\n");
    const struct {
        std::string log;
        std::string failure;  // the box's text; none for a success
    } cases[] = {
        {log, ""},
        {missing, CannotOpenMessage(missing)},
        {wrongHeader, std::string(kHeaderMismatchMessage)},
        {blocked, CannotCreateMessage(folder.File("bezet.kml"))},
        {badSpeed, std::string(kConversionFailedMessage)},
    };
    view.name = "Rit & \xC3\xBC";
    view.ticked = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        Choose(c.log);
        view.requests.clear();
        core.cmdConverteer_Click();
        Requests expected = {"Label4 normal", "pointer 11", "pointer 0", "Label1 bold"};
        if (!c.failure.empty()) {
            expected.insert(expected.begin() + 2, "box 16 Routalo: " + c.failure);
        }
        EXPECT_EQ(view.requests, expected);
        EXPECT_EQ(core.Pointer(), PointerShape::kDefault);
    }
    // The name and the tick as the view had them at the start.
    const std::string document = ReadBytes(*KmlPathFor(log));
    EXPECT_NE(document.find("<name>Rit &amp; \xC3\xBC</name>"), std::string::npos);
    EXPECT_NE(document.find("<when>"), std::string::npos);

    // A second start converts the same file again without asking for one.
    Choose(log);
    std::filesystem::remove(*KmlPathFor(log));
    view.requests.clear();
    core.cmdConverteer_Click();
    core.cmdConverteer_Click();
    EXPECT_EQ(ReadBytes(*KmlPathFor(log)), document);
    EXPECT_EQ(view.requests, (Requests{"Label4 normal", "pointer 11", "pointer 0", "Label1 bold",
                                       "Label4 normal", "pointer 11", "pointer 0", "Label1 bold"}));
    EXPECT_EQ(core.SourceFileName(), log);
}

// A file named on the command line, or dropped, is taken by a full path that
// names the same file: the working folder goes in front and "." steps go,
// but ".." stays, since after a link it leads where the system takes it,
// not back to the link's own folder. Anything but an existing file is
// refused and changes nothing.
TEST_F(WindowCoreTest, AFileNamedOnTheCommandLineCountsAsChosenByAPathToTheSameFile) {
    const ScratchFolder folder;
    const std::string log = folder.Write("rit.csv", "");
    std::filesystem::create_directories(folder.Path() / "echt" / "sub");
    const std::string linked = folder.Write("echt/x.csv", "");
    folder.Write("x.csv", "");  // where ".." after the link would lead, read as text
    const std::string nul("rit.csv\0x", 9);
    const struct {
        std::string argument;
        std::string source;  // the chosen path; empty when refused
        std::string file;    // the file it names
    } cases[] = {
        {"missing.csv", "", ""},
        {".", "", ""},
        {nul, "", ""},  // would name rit.csv where the system reads it
        {folder.File(nul), "", ""},
        {"rit.csv", log, log},
        {"./rit.csv", log, log},
#ifndef _WIN32
        // Windows itself resolves ".." by text.
        {"link/../x.csv", folder.File("link/../x.csv"), linked},
        {folder.File("link/./../x.csv"), folder.File("link/../x.csv"), linked},
#endif
    };
#ifndef _WIN32
    std::filesystem::create_directory_symlink("echt/sub", folder.Path() / "link");
#endif
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        RecordingView view;
        WindowCore core(view);
        core.Form_Load();
        view.requests.clear();
        EXPECT_EQ(core.OpenFile(c.argument), !c.source.empty());
        EXPECT_EQ(std::filesystem::path(core.SourceFileName()), std::filesystem::path(c.source));
        EXPECT_EQ(core.DialogFileName(), core.SourceFileName());
        if (c.source.empty()) {
            EXPECT_TRUE(view.requests.empty());
            EXPECT_EQ(BoldSteps(core), "13");
        } else {
            EXPECT_TRUE(std::filesystem::equivalent(core.SourceFileName(), c.file));
            EXPECT_EQ(BoldSteps(core), "23");
        }
    }
    std::filesystem::current_path(before);
}

}  // namespace
}  // namespace routalo::testing
