#pragma once
// The application's icon and the toolbar's 16 x 15 images, drawn in code so that no image
// files are needed. The Execute button has two lamps: the lower one lit green while nothing
// runs, the upper one lit red while any program runs.

#include <QIcon>

class QPainter;

namespace tivane {

QIcon AppIcon();
// The application's icon on a `size` x `size` square from the painter's origin: the windows'
// icon and the desktop's icon files (tools/writeicons.cpp) are the same picture.
void PaintAppIcon(QPainter& p, int size);
QIcon ToolIcon(int command, bool running);

} // namespace tivane
