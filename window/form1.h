#pragma once

#include "platform.h"

// The program's one window: the text area Text1 and the five buttons, each
// button bound to one command. The window keeps no state beyond its controls.
class Form1 {
public:
    Form1();

    platform::Window& window() { return *window_; }

    // Enables or disables all five buttons together.
    void EnabledX(bool enabled);

    void FoldCommand();
    void PasteCommand();
    void CopyCommand();
    void WebCommand();
    void ExitCommand();

private:
    platform::WindowPtr window_;

public:
    platform::TextArea& Text1;
    platform::Button& Command1;
    platform::Button& Command2;
    platform::Button& Command3;
    platform::Button& Command4;
    platform::Button& Command5;
};
