#include "form2.h"

#include "widgets.h"

#include <QIcon>
#include <QLabel>

Form2::Form2(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    // A tool window stays out of the task bar and keeps its title bar and close box.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(Twips(3735), Twips(1935));
    buildControls();
    Form_Load(); // before the window is first shown, so its design caption is never seen
}

QString Form2::VersionLine() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(DAHDIT_VERSION_MAJOR)
        .arg(DAHDIT_VERSION_MINOR)
        .arg(DAHDIT_VERSION_PATCH);
}

void Form2::buildControls() {
    Label2 = Place(new QLabel(QStringLiteral("Updating version..."), this), "Label2", 720, 600, 2895, 255);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ProgramIcon().pixmap(32));
    PlaceTwips(Image1, 120, 120, 480, 480);

    Label1 = new QLabel(QStringLiteral("Dahdit"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont title = Label1->font();
    title.setPointSizeF(13.5);
    title.setBold(true);
    Label1->setFont(title);
    PlaceTwips(Label1, 720, 120, 2895, 375);

    Label3 = new QLabel(QStringLiteral("Written by the Dahdit developers"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceTwips(Label3, 720, 960, 2895, 495);

    Label4 = Place(new QLabel(QStringLiteral("Copyright (c) 2026 Dahdit team"), this), "Label4", 720, 1560, 2895, 255);
}

void Form2::Form_Load() {
    Label2->setText(VersionLine());
}
