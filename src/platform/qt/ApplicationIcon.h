#pragma once

#include <QIcon>
#include <QList>

// The programs' icon, the same picture the application menu shows (the hicolor theme's
// "quillmere"), compiled in at every size the theme ships.
QIcon applicationIcon();
QList<int> applicationIconSizes();
// Makes it the icon of every window of the program. Both programs call this at start.
void installApplicationIcon();
