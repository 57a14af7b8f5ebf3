// The window's platform layer: the file-open dialog component with its
// filter, the real dialog and message box, and the mouse pointer.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <memory>

#include "tests/support/scratch_folder.h"
#include "tests/window/stand_ins.h"
#include "window/file_open_dialog.h"
#include "window/file_picker.h"
#include "window/message_box.h"
#include "window/mouse_pointer.h"

namespace routalo::testing {
namespace {

TEST(QtNameFilters, TurnsDescriptionAndPatternPairsIntoQtFilters) {
    EXPECT_EQ(QtNameFilters("CSV GPS files (*.csv)|*.csv|All files (*.*)|*.*"),
              QStringList({"CSV GPS files (*.csv)", "All files (*)"}));
    EXPECT_EQ(QtNameFilters("Logs|*.csv;*.txt"), QStringList({"Logs (*.csv *.txt)"}));
    EXPECT_EQ(QtNameFilters("Logs (*.csv;*.txt)|*.csv;*.txt"), QStringList({"Logs (*.csv *.txt)"}));
    EXPECT_EQ(QtNameFilters("|*.csv"), QStringList({"(*.csv)"}));
    EXPECT_EQ(QtNameFilters("Logs|*.csv|Unpaired"), QStringList({"Logs (*.csv)"}));
    EXPECT_TRUE(QtNameFilters("").isEmpty());
}

TEST(FileOpenDialog, KeepsTheFileNameBetweenOpeningsAndOnACancel) {
    ScriptedFilePicker picker;
    picker.answers = {QStringLiteral("/data/a.csv"), std::nullopt, QStringLiteral("/data/b.csv")};
    FileOpenDialog dialog(picker);
    dialog.SetDialogTitle("File Open");
    dialog.SetFilter("CSV GPS files (*.csv)|*.csv|All files (*.*)|*.*");

    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "/data/a.csv");
    dialog.ShowOpen();  // cancelled
    EXPECT_EQ(dialog.FileName(), "/data/a.csv");
    dialog.SetDialogTitle("Another title");
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "/data/b.csv");

    ASSERT_EQ(picker.requests.size(), 3U);
    EXPECT_EQ(picker.requests[0].title, "File Open");
    EXPECT_EQ(picker.requests[0].nameFilters,
              QStringList({"CSV GPS files (*.csv)", "All files (*)"}));
    EXPECT_EQ(picker.requests[0].selectedNameFilter, "CSV GPS files (*.csv)");
    EXPECT_TRUE(picker.requests[0].fileName.isEmpty());
    EXPECT_EQ(picker.requests[1].fileName, "/data/a.csv");
    EXPECT_EQ(picker.requests[2].fileName, "/data/a.csv");
    EXPECT_EQ(picker.requests[2].title, "Another title");
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
            timer->deleteLater();
            timer->stop();
            act(dialog);
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

TEST(DialogFilePicker, ShowsQtsFileDialogAndReturnsTheChoice) {
    const ScratchFolder folder;
    const QString earlier = QString::fromStdString(folder.Write("eerder.csv", ""));
    const QString chosen = QString::fromStdString(folder.Write("rit.csv", ""));
    DialogFilePicker picker(nullptr);
    const FileOpenRequest request{
        "File Open", {"CSV GPS files (*.csv)", "All files (*)"}, "CSV GPS files (*.csv)", earlier};

    QString title;
    QStringList filters;
    QString selectedFilter;
    QString folderShown;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        selectedFilter = dialog->selectedNameFilter();
        folderShown = dialog->directory().absolutePath();
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept is protected
    });
    EXPECT_EQ(picker.PickFile(request), chosen);
    EXPECT_EQ(title, "File Open");
    EXPECT_EQ(filters, request.nameFilters);
    EXPECT_EQ(selectedFilter, "CSV GPS files (*.csv)");
    EXPECT_EQ(folderShown, QString::fromStdString(folder.Path().string()));

    WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(picker.PickFile(request), std::nullopt);
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

TEST(ModalMessageBox, ShowsTheArrowOverItselfWhileTheWindowIsBusy) {
    MousePointer pointer;
    pointer.Set(kHourglass);
    ModalMessageBox box(nullptr);
    Qt::CursorShape shownOverBox = Qt::BlankCursor;
    WhenShown<QMessageBox>([&](QMessageBox* dialog) {
        shownOverBox = QApplication::overrideCursor()->shape();
        dialog->accept();
    });
    box.Show("Het bestand kon niet worden geopend.", MessageStyle::kCritical, "Routalo");
    EXPECT_EQ(shownOverBox, Qt::ArrowCursor);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
}

TEST(MousePointer, ElevenShowsTheBusyPointerOverTheApplication) {
    {
        MousePointer pointer;
        EXPECT_EQ(pointer.Value(), kDefaultPointer);
        pointer.Set(kHourglass);
        EXPECT_EQ(pointer.Value(), kHourglass);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        pointer.Set(kHourglass);  // again: still one busy pointer to take back

        pointer.Set(kDefaultPointer);
        EXPECT_EQ(pointer.Value(), kDefaultPointer);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);

        pointer.Set(5);
        EXPECT_EQ(pointer.Value(), 5);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        pointer.Set(kHourglass);
    }
    // A pointer that goes while busy takes its shape back.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace routalo::testing
