#pragma once

#include <QString>

class QWidget;

namespace tivane {

class DialogSeam;
class TextWidget;

// What Find looked for last: Find Next (F3) looks for it again.
struct FindRequest {
    QString text;
    bool matchCase = false;
};

// Looks for `request` after the selection in `text`, going round to the start once; a miss
// says "Cannot find "%1"." through `dialogs`. False on a miss.
bool FindNext(TextWidget& text, const FindRequest& request, DialogSeam& dialogs);

// Find (and with `replace`, Replace) in a text window: a small modeless dialog. Its searches
// are remembered in `last`, which must outlive it.
void ShowFindDialog(QWidget* parent, TextWidget* text, bool replace, FindRequest& last,
                    DialogSeam& dialogs);

} // namespace tivane
