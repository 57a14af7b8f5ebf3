#include "window/qt/frm_main.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <functional>
#include <string>

#include "tests/window/qt/window_fixture.h"

namespace routalo::testing {
namespace {

const QString kStartOfCaption = QStringLiteral("Routalo         ");  // the name and nine blanks
const QString kSchemeName = QStringLiteral("Zozedidu default schema t/m 24km/h");
const QString kNoFile = QStringLiteral("Klik eerst op File open en kies een bestand.");

bool HasFocus(QWidget* widget) {
    return widget != nullptr && widget->hasFocus();
}

TEST_F(WindowTest, OpensWithStepsOneAndThreeBoldAndTheFocusOnFileOpen) {
    EXPECT_EQ(BoldLabels(), "13");
    EXPECT_TRUE(window.windowTitle().startsWith(kStartOfCaption));
    EXPECT_GT(window.windowTitle().size(), kStartOfCaption.size());
    EXPECT_NE(window.windowTitle().at(kStartOfCaption.size()), u' ');
    EXPECT_FALSE(Find<QCheckBox>("chkGenTimeInfo")->isChecked());
    EXPECT_EQ(Find<QComboBox>("cmbKleuren")->currentText(), kSchemeName);
    EXPECT_EQ(Find<QComboBox>("cmbKleuren")->count(), 0);
    EXPECT_TRUE(Find<QLineEdit>("txtNaam")->text().isEmpty());
    EXPECT_TRUE(window.SourceFileName().empty());
    EXPECT_TRUE(window.Core().DialogFileName().empty());
    EXPECT_EQ(window.Core().Pointer(), PointerShape::kDefault);
    EXPECT_TRUE(HasFocus(Find<QPushButton>("cmdFile")));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(picker.requests.empty());
}

// Each control of the table is made as its kind, with its caption, and
// placed at fifteen twips a pixel.
TEST_F(WindowTest, PlacesItsControlsAtFifteenTwipsAPixel) {
    EXPECT_EQ(window.size(), QSize(5565 / 15, 4110 / 15));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());

    for (const ControlDesign& design : kControls) {
        const std::string name(design.name);
        SCOPED_TRACE(name);
        auto* control = Find<QWidget>(name.c_str());
        ASSERT_NE(control, nullptr);
        const TwipsBox& box = design.box;
        EXPECT_EQ(control->geometry(),
                  QRect(box.left / 15, box.top / 15, box.width / 15, box.height / 15));
        QString caption;
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            caption = button->text();
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            caption = label->text();
            EXPECT_TRUE(label->alignment().testFlag(Qt::AlignLeft));
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            EXPECT_TRUE(combo->isEditable());
            continue;  // the scheme's name, set at the start
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            caption = edit->text();
        }
        EXPECT_EQ(caption.toStdString(), design.caption);
        if (design.control != Control::kCmdInfo) {
            EXPECT_EQ(control->font().family(), window.font().family());
        }
    }

    const QFont info = Find<QPushButton>("cmdInfo")->font();
    EXPECT_EQ(info.family(), "Times New Roman");
    EXPECT_EQ(info.pointSize(), 12);
    EXPECT_EQ(info.weight(), QFont::Bold);
    EXPECT_TRUE(info.italic());

    // "i" lies over the right end of Label1, flush with the top edge.
    EXPECT_EQ(window.childAt(5200 / 15, 150 / 15), Find<QPushButton>("cmdInfo"));
    EXPECT_EQ(window.childAt(5000 / 15, 150 / 15), Find<QLabel>("Label1"));
}

// Whichever fonts the system has (CTest runs this once more with only the
// package's fonts and once with only a wider fallback), every step label
// shows its caption whole in bold, and the check box its caption in two lines.
TEST_F(WindowTest, StepLabelsShowTheirCaptionsWholeInBold) {
    for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) {
        auto* label = Find<QLabel>(name);
        ASSERT_NE(label, nullptr);
        QFont bold = label->font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        const QRect drawn = metrics.boundingRect(label->contentsRect(),
                                                 Qt::AlignLeft | Qt::AlignTop, label->text());
        SCOPED_TRACE(QStringLiteral("%1 in %2, %3 pt, stretch %4")
                         .arg(name, QFontInfo(bold).family())
                         .arg(bold.pointSizeF())
                         .arg(bold.stretch())
                         .toStdString());
        EXPECT_TRUE(label->contentsRect().contains(drawn))
            << drawn.width() << "x" << drawn.height() << " in " << label->contentsRect().width()
            << "x" << label->contentsRect().height();
    }
    auto* check = Find<QCheckBox>("chkGenTimeInfo");
    ASSERT_NE(check, nullptr);
    QStyleOptionButton option;
    option.initFrom(check);
    const QRect area = check->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check);
    const QFontMetrics metrics = check->fontMetrics();
    const QRect caption = metrics.boundingRect(
        area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, check->text());
    EXPECT_LE(caption.width(), area.width());
    EXPECT_EQ((caption.height() - metrics.height()) / metrics.lineSpacing() + 1, 2)
        << "lines in " << QFontInfo(check->font()).family().toStdString();
}

// A screen reader names the name box and the scheme box after their step
// labels, and finds each label as the one that labels its box.
TEST_F(WindowTest, TheTextBoxesAreNamedAfterTheirStepLabels) {
    const std::pair<const char*, const char*> named[] = {{"txtNaam", "Label3"},
                                                         {"cmbKleuren", "Label2"}};
    for (const auto& [input, label] : named) {
        SCOPED_TRACE(input);
        QWidget* box = Find<QWidget>(input);
        QLabel* step = Find<QLabel>(label);
        ASSERT_TRUE(box != nullptr && step != nullptr);
        EXPECT_EQ(box->accessibleName(), step->text());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(accessible, nullptr);
        const auto labels = accessible->relations(QAccessible::Label);
        EXPECT_EQ(labels.size(), 1);
        EXPECT_TRUE(!labels.isEmpty() && labels.first().first->object() == step);
    }
}

TEST_F(WindowTest, TabGoesThroughTheControlsWithTheSchemeBoxAfterTheStartButton) {
    const char* order[] = {"cmdFile",    "chkGenTimeInfo", "txtNaam", "cmdConverteer",
                           "cmbKleuren", "cmdInfo",        "cmdFile"};
    for (const char* name : order) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(HasFocus(Find<QWidget>(name)));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // A Tab moves the focus only: no handler ran.
    EXPECT_EQ(BoldLabels(), "13");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowTest, AccessKeysSpaceAndEnterPressTheButtons) {
    // An access key presses its button the way Qt animates it: released a moment later.
    QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !picker.requests.empty(); }));
    EXPECT_EQ(picker.requests.size(), 1U);
    QTest::keyClick(Find<QPushButton>("cmdFile"), Qt::Key_Space);
    EXPECT_EQ(picker.requests.size(), 2U);
    QTest::keyClick(Find<QPushButton>("cmdFile"), Qt::Key_Return);
    EXPECT_EQ(picker.requests.size(), 3U);

    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !messages.shown.empty(); }));
    ASSERT_EQ(messages.shown.size(), 1U);
    EXPECT_EQ(messages.shown[0].text, kNoFile);
}

// The refusal reaches Qt's message box as a plain box, without the busy pointer.
TEST_F(WindowTest, StartWithoutAFileRefusesInAPlainBox) {
    Press("cmdConverteer");
    ASSERT_EQ(messages.shown.size(), 1U);
    EXPECT_EQ(messages.shown[0].text, kNoFile);
    EXPECT_EQ(messages.shown[0].style, MessageStyle::kOkOnly);
    EXPECT_EQ(messages.shown[0].title, "Routalo");
    EXPECT_EQ(messages.shown[0].pointer, PointerShape::kDefault);
    EXPECT_EQ(messages.shown[0].shownPointer, Qt::ArrowCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, FileOpenAsksForACsvFileFirst) {
    Press("cmdFile");
    ASSERT_EQ(picker.requests.size(), 1U);
    const FileOpenRequest& request = picker.requests[0];
    EXPECT_EQ(request.title, "File Open");
    EXPECT_EQ(request.nameFilters, QStringList({"CSV GPS files (*.csv)", "All files (*)"}));
    EXPECT_EQ(request.selectedNameFilter, "CSV GPS files (*.csv)");
    EXPECT_TRUE(request.fileName.empty());
}

// Qt's dialog opens on the earlier choice; a cancel keeps it in the caption.
TEST_F(WindowTest, CancelAfterAChoiceTakesTheEarlierFileAgain) {
    const std::string path = "/data/ritten/zondag ü.csv";
    const QString caption = QStringLiteral("Routalo - /data/ritten/zondag ü.csv");
    picker.answers = {path, std::nullopt};

    Press("cmdFile");
    EXPECT_EQ(window.windowTitle(), caption);
    Press("cmdFile");  // cancelled
    ASSERT_EQ(picker.requests.size(), 2U);
    EXPECT_EQ(picker.requests[1].fileName, path);
    EXPECT_EQ(window.SourceFileName(), path);
    EXPECT_EQ(window.windowTitle(), caption);
}

// Each control reports the user's actions, by mouse and by key, to the core;
// a key that changes no text reports nothing.
TEST_F(WindowTest, EachControlReportsTheUsersActions) {
    picker.answers = {"/data/a.csv"};
    auto* check = Find<QCheckBox>("chkGenTimeInfo");
    auto* scheme = Find<QComboBox>("cmbKleuren");
    auto* name = Find<QLineEdit>("txtNaam");
    const struct {
        const char* what;
        std::function<void()> act;
        std::string boldAfter;
    } steps[] = {
        {"File open", [this] { Press("cmdFile"); }, "23"},
        // A click at the far end of the box, right of any caption text, ticks it.
        {"a click on the time box",
         [&] {
             QTest::mouseClick(check, Qt::LeftButton, {},
                               QPoint(check->width() - 2, check->height() / 2));
         },
         "3"},
        {"File open, cancelled", [this] { Press("cmdFile"); }, "23"},
        {"Space on the time box", [&] { QTest::keyClick(check, Qt::Key_Space); }, "3"},
        {"File open, cancelled", [this] { Press("cmdFile"); }, "23"},
        {"typing in the scheme box", [&] { QTest::keyClicks(scheme->lineEdit(), "x"); }, "3"},
        {"typing a name", [&] { QTest::keyClicks(name, "ab"); }, "4"},
        {"typing in the scheme box", [&] { QTest::keyClicks(scheme->lineEdit(), "y"); }, "34"},
        {"moving the cursor", [&] { QTest::keyClick(name, Qt::Key_Left); }, "34"},
        {"Backspace in the name", [&] { QTest::keyClick(name, Qt::Key_Backspace); }, "4"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(BoldLabels(), step.boldAfter);
    }
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(scheme->currentText(), kSchemeName + "xy");
    EXPECT_EQ(name->text(), "b");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowTest, AClickOnTheBackgroundShowsTheInformationAsIDoes) {
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(3000 / 15, 600 / 15));
    ASSERT_EQ(messages.shown.size(), 1U);
    const ShownMessage info = messages.shown[0];
    EXPECT_EQ(info.style, MessageStyle::kInformation);
    EXPECT_EQ(info.title, "Routalo");
    EXPECT_EQ(info.text.split(u'\n').size(), 2);  // a copyright line, a terms-of-use line

    Press("cmdInfo");
    ASSERT_EQ(messages.shown.size(), 2U);
    EXPECT_EQ(messages.shown[1].text, info.text);
    EXPECT_EQ(messages.shown[1].style, MessageStyle::kInformation);
    EXPECT_EQ(BoldLabels(), "13");
}

TEST_F(WindowTest, AClickOnALabelShowsNothing) {
    for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) {
        QTest::mouseClick(Find<QLabel>(name), Qt::LeftButton);
    }
    // A press on a label that ends over the background is no click on the window.
    auto* label = Find<QLabel>("Label2");
    QTest::mousePress(label, Qt::LeftButton);
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(3000 / 15, 600 / 15));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(BoldLabels(), "13");
}

}  // namespace
}  // namespace routalo::testing
