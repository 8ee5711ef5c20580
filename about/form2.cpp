#include "form2.h"

#include "appearance.h"
#include "layout.h"

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>

namespace {
QString VersionLine() {
    return QStringLiteral("Version ") + QCoreApplication::applicationVersion();
}
} // namespace

Form2::Form2(QWidget* parent) : QDialog(parent) {
    SetUpWindow(this, "Form2", QStringLiteral("About"), 3735, 1935);
    buildControls();
    Form_Load(); // before the window is first shown, so its design caption is never seen
}

void Form2::buildControls() {
    TwipsLayout* layout = TwipsLayout::of(this);
    Label2 = layout->Place(new QLabel(QStringLiteral("Updating version..."), this), "Label2", 720, 600, 2895, 255);
    layout->alsoShows(Label2, {VersionLine()});

    QLabel* Image1 = layout->Place(new QLabel(this), "Image1", 120, 120, 480, 480);
    Image1->setPixmap(ProgramIcon().pixmap(32));

    QLabel* Label1 = layout->Place(new QLabel(QStringLiteral("Dahdit"), this), "Label1", 720, 120, 2895, 375);
    layout->setFontSize(Label1, 13.5, true);

    const QString credit = QStringLiteral("Written by the Dahdit developers");
    QLabel* Label3 = layout->Place(new QLabel(credit, this), "Label3", 720, 960, 2895, 495);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    layout->Place(new QLabel(QStringLiteral("Copyright (c) 2026 Dahdit team"), this), "Label4", 720, 1560, 2895, 255);
}

void Form2::Form_Load() {
    Label2->setText(VersionLine());
}
