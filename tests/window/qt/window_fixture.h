#pragma once

#include <gtest/gtest.h>
#include <QLabel>
#include <QString>
#include <string>

#include "tests/window/qt/stand_ins.h"
#include "window/qt/frm_main.h"

namespace routalo::testing {

// A shown, active window whose file dialog and message boxes are stand-ins.
class WindowTest : public ::testing::Test {
  protected:
    WindowTest();

    // A control of the window by its name.
    template <typename Control>
    Control* Find(const char* name) {
        auto* control = window.findChild<Control*>(QString::fromLatin1(name));
        if (control == nullptr) {
            ADD_FAILURE() << "no control " << name;
        }
        return control;
    }

    // The numbers of the bold step labels, in order: "13" for Label1 and Label3.
    std::string BoldLabels();

    // Presses a button the way a mouse does.
    void Press(const char* buttonName);

    RecordingMessageBox messages;
    ScriptedFilePicker picker;
    frmMain window{picker, messages};
};

}  // namespace routalo::testing
