#pragma once
// The application's icon and the toolbar's 16 x 15 images, drawn in code so that no image
// files are needed. The Execute button has two lamps: the lower one lit green while nothing
// runs, the upper one lit red while any program runs.

#include <QIcon>

namespace tivane {

QIcon AppIcon();
QIcon ToolIcon(int command, bool running);

} // namespace tivane
