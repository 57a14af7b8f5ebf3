#include "tests/window/qt/window_fixture.h"

#include <QPushButton>
#include <QTest>

namespace routalo::testing {

WindowTest::WindowTest() {
    messages.readPointer = [this] { return window.Core().Pointer(); };
    messages.readShownPointer = [this] { return window.cursor().shape(); };
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

std::string WindowTest::BoldLabels() {
    std::string bold;
    for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) {
        if (auto* label = Find<QLabel>(name); label != nullptr && label->font().bold()) {
            bold += name[5];
        }
    }
    return bold;
}

void WindowTest::Press(const char* buttonName) {
    if (auto* button = Find<QPushButton>(buttonName)) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

}  // namespace routalo::testing
