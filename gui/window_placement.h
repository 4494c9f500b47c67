#pragma once
// Where the program's windows appear.

class QWidget;

// Moves the window to the middle of its screen's available area (a dialog would otherwise
// appear over its parent window).
void CentreOnScreen(QWidget& window);

// Shrinks the window to what its screen's available area holds, frame included, and moves
// it inside that area where it reaches beyond; a window that fits stays where it is.
void FitOnScreen(QWidget& window);
