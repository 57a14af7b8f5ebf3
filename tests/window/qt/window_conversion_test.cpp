// The Qt window's start button end to end: Qt's wait cursor around the
// conversion, and the document written from what was typed and ticked in
// Qt's controls, compared with what routalo-convert writes for the same log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <filesystem>

#include "conversion/conversion_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/xml_check.h"
#include "tests/window/qt/window_fixture.h"

namespace routalo::testing {
namespace {

constexpr std::string_view kHeader =
    "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)\r\n";
constexpr std::string_view kPoints =
    "5.1214,52.0907,0,7/6/24,9:5:3,0\r\n"
    "5.1220,52.0912,12.5,7/6/24,9:05:13,80\r\n"
    "5.1231,52.0915,24.9,7/6/24,9:05:23,150\r\n"
    "5.1240,52.0921,31,7/6/24,9:05:33,260\r\n"
    "5.1244,52.0930,7.4,07/06/2024,09:05:43,300\r\n";

class WindowConversionTest : public WindowTest {
  protected:
    // Picks `path` in the stand-in dialog.
    void Choose(const std::string& path) {
        picker.answers.emplace_back(path);
        Press("cmdFile");
    }

    // The document routalo-convert writes for `log` with `arguments` before it.
    static std::string CommandLineDocument(QStringList arguments, const std::string& log) {
        const QString program = qEnvironmentVariable("ROUTALO_CONVERT");
        EXPECT_FALSE(program.isEmpty()) << "ROUTALO_CONVERT names no program";
        const std::filesystem::path kml = *KmlPathFor(log);
        std::filesystem::remove(kml);
        QProcess process;
        arguments.append(QFile::decodeName(QByteArray::fromStdString(log)));
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return ReadBytes(kml);
    }

    ScratchFolder folder;
};

// The window shows the hourglass as Qt's wait cursor while the run goes,
// also while a failure's box is up (the box, a window of its own, keeps the
// arrow); the window's own pointer is back once the run is over.
TEST_F(WindowConversionTest, ShowsTheHourglassOverTheWindowUntilTheRunEnds) {
    Choose(folder.File("missing.csv"));
    Press("cmdConverteer");
    ASSERT_EQ(messages.shown.size(), 1U);
    EXPECT_EQ(messages.shown[0].text.toStdString(), CannotOpenMessage(folder.File("missing.csv")));
    EXPECT_EQ(messages.shown[0].pointer, PointerShape::kHourglass);
    EXPECT_EQ(messages.shown[0].shownPointer, Qt::WaitCursor);
    EXPECT_EQ(messages.shown[0].style, MessageStyle::kCritical);

    EXPECT_EQ(window.Core().Pointer(), PointerShape::kDefault);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WindowConversionTest, WritesTheDocumentThatTheCommandLineWrites) {
    const std::string log = folder.Write("rit ü.csv", std::string(kHeader) + std::string(kPoints));
    Choose(log);
    EXPECT_EQ(window.windowTitle().toStdString(), "Routalo - " + log);

    QTest::mouseClick(Find<QCheckBox>("chkGenTimeInfo"), Qt::LeftButton);
    // The scheme box is never read: an edit leaves the document as it is.
    QTest::keyClicks(Find<QComboBox>("cmbKleuren")->lineEdit(), " rood");
    auto* name = Find<QLineEdit>("txtNaam");
    QTest::keyClicks(name, "Rit & <terug> \"1\" ");
    QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, QStringLiteral("ü"), Qt::NoModifier);
    ASSERT_EQ(name->text(), QStringLiteral("Rit & <terug> \"1\" ü"));
    EXPECT_EQ(BoldLabels(), "4");

    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    const std::filesystem::path kml = folder.File("rit ü.kml");
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(kml); }));
    EXPECT_THAT(messages.shown, ::testing::IsEmpty());
    EXPECT_EQ(BoldLabels(), "1");
    const std::string fromWindow = ReadBytes(kml);

    EXPECT_EQ(XmlProblems(fromWindow), "");
    EXPECT_THAT(fromWindow, ::testing::HasSubstr("Rit &amp; &lt;terug&gt; \"1\" ü"));
    EXPECT_THAT(fromWindow, ::testing::HasSubstr("<when>"));
    EXPECT_EQ(fromWindow, CommandLineDocument(
                              {"--time", "--name", QStringLiteral("Rit & <terug> \"1\" ü")}, log));
}

TEST_F(WindowConversionTest, TakesTheTickAsItIsAtTheStart) {
    const std::string log = folder.Write("rit.csv", std::string(kHeader) + std::string(kPoints));
    Choose(log);
    auto* check = Find<QCheckBox>("chkGenTimeInfo");
    QTest::mouseClick(check, Qt::LeftButton);
    QTest::mouseClick(check, Qt::LeftButton);
    ASSERT_FALSE(check->isChecked());
    Press("cmdConverteer");
    const std::string fromWindow = ReadBytes(folder.File("rit.kml"));
    EXPECT_THAT(fromWindow, ::testing::Not(::testing::HasSubstr("<when>")));
    EXPECT_EQ(fromWindow, CommandLineDocument({"--name", ""}, log));
}

}  // namespace
}  // namespace routalo::testing
