#pragma once

class QWidget;

namespace tivane {

class TextWidget;

// Find (and with `replace`, Replace) in a text window: a small modeless dialog.
void ShowFindDialog(QWidget* parent, TextWidget* text, bool replace);

} // namespace tivane
