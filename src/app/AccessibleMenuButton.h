#pragma once
// A tool button whose menu drops at a press. Qt offers assistive technology
// only "ShowMenu" on such a button, and does nothing with it when the menu
// drops at once, so a screen reader could not open the menu. Here "Press"
// and "ShowMenu" both open it below the button, without waiting for it to
// close.
class QToolButton;

namespace salvora {

// Call before anything asks for the button's accessible interface (before
// the window is shown).
void OpenMenuForAssistiveTechnology(QToolButton* button);

}  // namespace salvora
