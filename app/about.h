#pragma once

class QWidget;

namespace tivane {

// The About box: "About Tivane", the version and OK.
void ShowAboutBox(QWidget* parent);

} // namespace tivane
