#include "about.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "icons.h"

namespace tivane {

void ShowAboutBox(QWidget* parent) {
    QDialog box(parent);
    box.setWindowTitle("About Tivane");
    box.setObjectName("about");
    auto* layout = new QVBoxLayout(&box);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(&box);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(
        "<b>Tivane - mathematical models, step by step</b><br>V. 1.1<br><br>"
        "Models are computed by small programs and shown as<br>tables and moving drawings.",
        &box);
    top->addWidget(text);
    layout->addLayout(top);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    box.exec();
}

} // namespace tivane
