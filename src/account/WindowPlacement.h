#pragma once

class QWidget;

// Moves a window to the middle of its screen, as the account windows open.
void centreOnScreen(QWidget* window);
