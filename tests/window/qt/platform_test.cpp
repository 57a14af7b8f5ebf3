// The window's platform layer: the file types as Qt's dialog takes them,
// the real dialog (opened by the window) and message box, and the mouse
// pointer.
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tests/window/qt/stand_ins.h"
#include "window/qt/file_picker.h"
#include "window/qt/frm_main.h"
#include "window/qt/message_box.h"
#include "window/qt/mouse_pointer.h"

namespace routalo::testing {
namespace {

const FileFilter kCsvAndAll[] = {{"CSV GPS files (*.csv)", "*.csv"}, {"All files (*.*)", "*.*"}};

TEST(QtNameFilters, TurnsDescriptionAndPatternPairsIntoQtFilters) {
    const struct {
        std::vector<FileFilter> filters;
        QStringList qt;
        QStringList shown;
    } cases[] = {
        {{std::begin(kCsvAndAll), std::end(kCsvAndAll)},
         {"CSV GPS files (*.csv)", "All files (*)"},
         {"CSV GPS files (*.csv)", "All files (*.*)"}},
        {{{" Logs ", "*.csv;*.txt"}}, {"Logs (*.csv *.txt)"}, {"Logs"}},
        {{{"Logs (*.csv;*.txt)", "*.csv;*.txt"}}, {"Logs (*.csv *.txt)"}, {"Logs (*.csv;*.txt)"}},
        {{{"", "*.*"}}, {"(*)"}, {"(*)"}},
        {{}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.qt.join(u',').toStdString());
        EXPECT_EQ(QtNameFilters(c.filters), c.qt);
        EXPECT_EQ(ShownFilters(c.filters), c.shown);
    }
}

// Runs `act` on the modal `Dialog` as soon as it is up. Rejects any other
// modal dialog that stays up for five seconds, so that a test fails, not hangs.
template <typename Dialog>
void WhenShown(const std::function<void(Dialog*)>& act) {
    auto* timer = new QTimer(qApp);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, ticks] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<Dialog*>(modal)) {
            // Deleted after `act`, which may wait and so delete what is due.
            timer->stop();
            act(dialog);
            timer->deleteLater();
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dialog->reject();
            }
        } else if (++*ticks == 500) {
            timer->deleteLater();
            timer->stop();
            ADD_FAILURE() << "the expected dialog did not show";
            if (auto* other = qobject_cast<QDialog*>(modal)) {
                other->reject();
            }
        }
    });
    timer->start(10);
}

// The names that the dialog lists in `folder`, once it has read the folder.
QStringList Listed(QFileDialog* dialog, const QString& folder) {
    auto* files = dialog->findChild<QFileSystemModel*>();
    if (files == nullptr) {
        return {};
    }
    const QModelIndex root = files->index(folder);
    if (!QTest::qWaitFor([&] { return !files->canFetchMore(root) && files->rowCount(root) > 0; })) {
        return {};
    }
    QStringList names;
    for (int row = 0; row < files->rowCount(root); ++row) {
        names.append(files->index(row, 0, root).data().toString());
    }
    names.sort();
    return names;
}

TEST(RealFileDialog, ListsTheLogsFirstAndEveryFileWithTheSecondEntry) {
    const ScratchFolder folder;
    const QString folderPath = QString::fromStdString(folder.Path().string());
    folder.Write("rit.csv", "");
    const std::string readme = folder.Write("README", "");
    frmMain window;  // with Qt's file dialog and message boxes
    window.show();

    QString title;
    QStringList entries;
    int entryInEffect = -1;
    QStringList listedFirst;
    QStringList listedThen;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        auto* fileTypes = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(fileTypes, nullptr);
        for (int i = 0; i < fileTypes->count(); ++i) {
            entries.append(fileTypes->itemText(i));
        }
        entryInEffect = fileTypes->currentIndex();
        dialog->setDirectory(folderPath);
        listedFirst = Listed(dialog, folderPath);
        QTest::keyClick(fileTypes, Qt::Key_Down);  // the user picks the second entry
        EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(dialog, folderPath).size() > 1; }));
        listedThen = Listed(dialog, folderPath);
        // The user types the name and presses Enter.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "README");
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdFile")), Qt::LeftButton);
    EXPECT_EQ(title, "File Open");
    EXPECT_EQ(entries.join(u'|').toStdString(), "CSV GPS files (*.csv)|All files (*.*)");
    EXPECT_EQ(entryInEffect, 0);
    EXPECT_EQ(listedFirst.join(u' ').toStdString(), "rit.csv");
    EXPECT_EQ(listedThen.join(u' ').toStdString(), "README rit.csv");
    EXPECT_EQ(window.SourceFileName(), readme);

    // Opened again, the dialog shows the chosen file's folder; a cancel keeps the choice.
    QString folderShown;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        folderShown = dialog->directory().absolutePath();
        dialog->reject();
    });
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdFile")), Qt::LeftButton);
    EXPECT_EQ(folderShown, folderPath);
    EXPECT_EQ(window.SourceFileName(), readme);

    // A typed name whose file does not exist is taken as well, as Windows'
    // dialog takes it; the conversion then reports it.
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        // The dialog fills in the chosen file once it has read its folder.
        // The user types into the name box, which has the focus: the file
        // selected in the list is then no longer.
        EXPECT_TRUE(QTest::qWaitFor([&] { return name->text() == "README"; }));
        dialog->activateWindow();
        name->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return name->hasFocus(); }));
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, "weg.csv");
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdFile")), Qt::LeftButton);
    EXPECT_EQ(window.SourceFileName(), folder.File("weg.csv"));
}

TEST(ModalMessageBox, ShowsTheIconOfItsStyleWithAnOkButton) {
    ModalMessageBox box(nullptr);
    const std::pair<MessageStyle, QMessageBox::Icon> styles[] = {
        {MessageStyle::kOkOnly, QMessageBox::NoIcon},
        {MessageStyle::kCritical, QMessageBox::Critical},
        {MessageStyle::kInformation, QMessageBox::Information},
    };
    for (const auto& [style, icon] : styles) {
        SCOPED_TRACE(static_cast<int>(style));
        QMessageBox::Icon shownIcon = QMessageBox::Question;
        QString title;
        QString text;
        QList<QAbstractButton*> buttons;
        WhenShown<QMessageBox>([&](QMessageBox* dialog) {
            shownIcon = dialog->icon();
            title = dialog->windowTitle();
            text = dialog->text();
            buttons = dialog->buttons();
            EXPECT_EQ(dialog->standardButton(buttons.value(0)), QMessageBox::Ok);
            dialog->accept();
        });
        box.Show("Klik eerst op File open en kies een bestand.", style, "Routalo");
        EXPECT_EQ(shownIcon, icon);
        EXPECT_EQ(title, "Routalo");
        EXPECT_EQ(text, "Klik eerst op File open en kies een bestand.");
        EXPECT_EQ(buttons.size(), 1);
    }
}

// The busy pointer is the window's own, not an override for the whole
// application: a box shown meanwhile, a window of its own, shows the arrow.
TEST(ModalMessageBox, ShowsTheArrowOverItselfWhileTheWindowIsBusy) {
    QWidget window;
    MousePointer pointer(window);
    pointer.Set(PointerShape::kHourglass);
    ModalMessageBox box(&window);
    Qt::CursorShape shownOverBox = Qt::BlankCursor;
    Qt::CursorShape shownOverWindow = Qt::BlankCursor;
    const QCursor* overriding = nullptr;
    WhenShown<QMessageBox>([&](QMessageBox* dialog) {
        shownOverBox = dialog->cursor().shape();
        shownOverWindow = window.cursor().shape();
        overriding = QApplication::overrideCursor();
        dialog->accept();
    });
    box.Show("Het bestand kon niet worden geopend.", MessageStyle::kCritical, "Routalo");
    EXPECT_EQ(shownOverBox, Qt::ArrowCursor);
    EXPECT_EQ(shownOverWindow, Qt::WaitCursor);
    EXPECT_EQ(overriding, nullptr);
}

// The hourglass shows the busy pointer over the window and over its
// controls, those with a pointer of their own (a text box's I-beam)
// included, which get theirs back afterwards with the default shape.
TEST(MousePointer, TheHourglassShowsOverTheWindowAndItsControls) {
    QWidget window;
    auto* name = new QLineEdit(&window);
    auto* button = new QPushButton(&window);
    MousePointer pointer(window);
    // The shapes over the window, the text box and the button, as one text.
    const auto shown = [&] {
        return std::to_string(window.cursor().shape()) + " " +
               std::to_string(name->cursor().shape()) + " " +
               std::to_string(button->cursor().shape());
    };
    const std::string own = std::to_string(Qt::ArrowCursor) + " " +
                            std::to_string(Qt::IBeamCursor) + " " + std::to_string(Qt::ArrowCursor);
    const std::string busy = std::to_string(Qt::WaitCursor) + " " + std::to_string(Qt::WaitCursor) +
                             " " + std::to_string(Qt::WaitCursor);
    const struct {
        PointerShape shape;
        std::string shown;
    } steps[] = {
        {PointerShape::kDefault, own},
        {PointerShape::kHourglass, busy},
        {PointerShape::kHourglass, busy},  // again: nothing to add
        {PointerShape::kDefault, own},
        {PointerShape::kDefault, own},  // again: nothing to give back
        {PointerShape::kHourglass, busy},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(static_cast<int>(step.shape));
        pointer.Set(step.shape);
        EXPECT_EQ(shown(), step.shown);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

}  // namespace
}  // namespace routalo::testing
