#pragma once
// The rows of a tree view as assistive technology sees them. Qt's own cells
// can only be selected: a screen reader could neither make a row current,
// which is what the window follows, nor open it. Here every cell can be
// made current ("SetFocus"), activated as a double click or Enter would
// ("Press"), and toggled: checked or unchecked where its row has a check
// box, else selected. The cells are numbered as Qt numbers them (the
// header's first, then one per column of every shown row), so that the
// focus and selection events the view sends name the same cells.
class QTreeView;

namespace salvora {

// Gives `view` these rows; call before anything asks for its accessible
// interface (before the window is shown).
void ExposeRowsToAssistiveTechnology(QTreeView* view);

}  // namespace salvora
