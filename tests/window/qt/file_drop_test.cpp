// Dropping a file on the window counts as choosing it in the file dialog.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>

#include "conversion/conversion_run.h"
#include "tests/support/sample_log.h"
#include "tests/support/scratch_folder.h"
#include "tests/window/qt/window_fixture.h"

namespace routalo::testing {
namespace {

struct DropOutcome {
    bool enterAccepted;
    bool dropAccepted;
    Qt::DropAction action;
};

class FileDropTest : public WindowTest {
  protected:
    // Drags `data` onto the window's background and lets it go.
    DropOutcome Drop(const QMimeData& data,
                     Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
        const QPoint where(3000 / 15, 600 / 15);
        QDragEnterEvent enter(where, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent drop(where, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        return {enter.isAccepted(), drop.isAccepted(), drop.dropAction()};
    }

    static std::unique_ptr<QMimeData> Files(const QList<QUrl>& urls) {
        auto data = std::make_unique<QMimeData>();
        data->setUrls(urls);
        return data;
    }

    static QUrl Local(const std::string& path) {
        return QUrl::fromLocalFile(QString::fromStdString(path));
    }

    // The list of one file that a file manager drags: its path's bytes
    // percent-encoded, whether or not they are UTF-8.
    static std::unique_ptr<QMimeData> UriList(const std::string& path) {
        auto data = std::make_unique<QMimeData>();
        data->setData(QStringLiteral("text/uri-list"),
                      "file://" + QByteArray::fromStdString(path).toPercentEncoding("/") + "\r\n");
        return data;
    }

    ScratchFolder folder;
};

TEST_F(FileDropTest, OneFileCountsAsAConfirmedChoiceInTheDialog) {
    const std::string path = folder.Write("rit.csv", "");
    const DropOutcome outcome = Drop(*Files({Local(path)}));
    EXPECT_TRUE(outcome.enterAccepted);
    EXPECT_TRUE(outcome.dropAccepted);
    EXPECT_EQ(outcome.action, Qt::CopyAction);  // never a move: the log stays where it is
    EXPECT_TRUE(std::filesystem::exists(path));

    EXPECT_EQ(window.Core().DialogFileName(), path);
    EXPECT_EQ(window.SourceFileName(), path);
    EXPECT_EQ(window.windowTitle(), "Routalo - " + QString::fromStdString(path));
}

TEST_F(FileDropTest, ADropReplacesAnEarlierChoice) {
    picker.answers = {"/data/eerste.csv"};
    Press("cmdFile");
    const std::string path = folder.Write("tweede.csv", "");
    Drop(*Files({Local(path)}));
    EXPECT_EQ(window.SourceFileName(), path);
    EXPECT_EQ(window.windowTitle(), "Routalo - " + QString::fromStdString(path));
}

// A name that is no UTF-8 names the file by its bytes all the way to the
// conversion, which writes the document beside it; the caption shows the
// byte as U+FFFD. A ".." after a link leads where the system takes it.
TEST_F(FileDropTest, ANameThatIsNoUtf8ReachesTheConversionAsItsBytes) {
    const std::string folderPath = folder.Path().string();
    std::filesystem::create_directories(folder.Path() / "echt" / "sub");
    std::filesystem::create_directory_symlink("echt/sub", folder.Path() / "link");
    const struct {
        const char* how;
        std::string name;  // of the log; the document's name ends in "kml" instead
        QString shownName;
        std::function<void(const std::string& path)> take;
    } ways[] = {
        {"named on the command line", "a\xff.csv", QStringLiteral("a\uFFFD.csv"),
         [this](const std::string& path) { EXPECT_TRUE(window.OpenFile(path)); }},
        {"dropped", "b\xe9\xff.csv", QStringLiteral("b\uFFFD\uFFFD.csv"),
         [this](const std::string& path) { EXPECT_TRUE(Drop(*UriList(path)).dropAccepted); }},
        {"dropped through a link", "link/../c\xff.csv", QStringLiteral("link/../c\uFFFD.csv"),
         [this](const std::string& path) { EXPECT_TRUE(Drop(*UriList(path)).dropAccepted); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        const std::string log = folder.Write(way.name, SampleLog(3));
        way.take(log);
        EXPECT_EQ(window.SourceFileName(), log);
        EXPECT_EQ(window.Core().DialogFileName(), log);
        EXPECT_EQ(window.windowTitle().toStdString(),
                  ("Routalo - " + QString::fromStdString(folderPath) + u'/' + way.shownName)
                      .toStdString());

        Press("cmdConverteer");
        EXPECT_THAT(messages.shown, ::testing::IsEmpty());
        EXPECT_TRUE(std::filesystem::exists(*KmlPathFor(log)));
    }
}

// The core refuses any drop but one of a single file (two files, a folder);
// what Qt offers that names no local file is refused too, and so is a file
// offered for moving.
TEST_F(FileDropTest, AnythingButOneExistingFileChangesNothing) {
    const std::string first = folder.Write("a.csv", "");
    const std::string second = folder.Write("b.csv", "");

    std::vector<std::pair<std::string, std::unique_ptr<QMimeData>>> drops;
    drops.emplace_back("two files", Files({Local(first), Local(second)}));
    // The system would read the path up to the NUL, which names a.csv.
    drops.emplace_back("a NUL", UriList(first + std::string("\0.txt", 5)));
    drops.emplace_back("a web address", Files({QUrl("https://example.org/rit.csv")}));
    drops.emplace_back("no file", Files({}));
    auto text = std::make_unique<QMimeData>();
    text->setText(QString::fromStdString(first));
    drops.emplace_back("text", std::move(text));

    const QString caption = window.windowTitle();
    for (const auto& [what, data] : drops) {
        SCOPED_TRACE(what);
        const DropOutcome outcome = Drop(*data);
        EXPECT_FALSE(outcome.enterAccepted);
        EXPECT_FALSE(outcome.dropAccepted);
        EXPECT_EQ(window.windowTitle(), caption);
        EXPECT_TRUE(window.SourceFileName().empty());
        EXPECT_TRUE(window.Core().DialogFileName().empty());
        EXPECT_EQ(BoldLabels(), "13");
    }

    // A file offered only for moving is refused: taking it would let the
    // program it came from delete it.
    const DropOutcome moved = Drop(*Files({Local(first)}), Qt::MoveAction);
    EXPECT_FALSE(moved.dropAccepted);
    EXPECT_TRUE(window.SourceFileName().empty());
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace routalo::testing
