#pragma once

// The form's mouse handlers, the same for every window: the title strip
// moves the window, the close label lights up under the mouse and ends the
// program when clicked, and the maker's logo opens the maker's web page.
// Each window routes its toolkit's mouse events here by the described name
// of the control under the mouse and does what the handlers ask through
// FormView.

#include <string_view>

#include "window/close_label.h"
#include "window/maker_link.h"

namespace varnock {

// What the handlers ask of a window.
class FormView {
public:
    // Paints the close label's background in `colour` (every move sets it
    // again, so a window may skip a repaint when it has not changed).
    virtual void ShowCloseLabelColour(form::Bgr colour) = 0;
    // Hands the window to the window manager, which moves it until the
    // button is released; the program reads no positions and sets none.
    virtual void BeginWindowDrag() = 0;
    // Ends the program with status 0, without a question.
    virtual void EndProgram() = 0;

protected:
    ~FormView() = default;
};

class FormMouse {
public:
    // The bare window, where no control is under the mouse.
    static constexpr std::string_view kBareWindow = "";

    FormMouse(FormView& view, DocumentOpener openDocument);

    // A move of the mouse over `control` (a described name, or kBareWindow).
    void Moved(std::string_view control);
    // A button pressed over `control`, whatever the button and keys held.
    void Pressed(std::string_view control);
    // A click on `control`: the left button pressed and released over it.
    void Clicked(std::string_view control);

private:
    void Label1_MouseDown();
    void Label1_MouseMove();
    void Label3_MouseMove();
    void Form_MouseMove();
    void Label3_Click();
    void Picture1_Click();
    void LightCloseLabel(PointerOver place);

    FormView& view_;
    DocumentOpener openDocument_;
};

}  // namespace varnock
