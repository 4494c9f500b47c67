#pragma once
// Where the program's windows appear.

class QWidget;

// Moves the window to the middle of its screen's available area (a dialog would otherwise
// appear over its parent window).
void CentreOnScreen(QWidget& window);
