#include "form3.h"

#include "appearance.h"
#include "apppath.h"
#include "layout.h"
#include "messagebox.h"
#include "textbox.h"
#include "wholefile.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <algorithm>
#include <cerrno>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// Why a path cannot take a file, found before anything is written; empty when it looks fine.
QString PathProblem(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("no folder or file name is given.");
    // The file system would take them, but such a name could hardly be typed or listed again.
    if (std::any_of(path.cbegin(), path.cend(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("the path holds a line break, a tab or another control character. Type it without "
                              "such characters.");
    // What stands at an existing path and is no file (a folder, a device) the writer refuses.
    if (path.endsWith(u'/'))
        return WholeFile::describe(EISDIR) + QStringLiteral(" Type a file name.");
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return QStringLiteral("the folder %1 does not exist.").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return QStringLiteral("%1 is a file, not a folder.").arg(QDir::toNativeSeparators(folder.filePath()));
    return QString();
}

} // namespace

QString TranscriptText(const QDateTime& when, const QString& morse, const QString& output) {
    const QLocale locale = QLocale::system();
    const QString stamp =
        locale.toString(when.date(), QLocale::ShortFormat) + u' ' + locale.toString(when.time(), QLocale::LongFormat);
    return stamp + kLineEnd + kLineEnd + morse + kLineEnd + kLineEnd + output;
}

Form3::Form3(TextSource morseText, TextSource outputText, QWidget* parent)
    : QDialog(parent), m_morseText(std::move(morseText)), m_outputText(std::move(outputText)) {
    SetUpWindow(this, "Form3", QStringLiteral("Save File"), 4575, 1455);
    buildControls();
    Form_Load();
}

void Form3::buildControls() {
    TwipsLayout* layout = TwipsLayout::of(this); // the controls are made in their tab order
    QLabel* Label1 = layout->Place(new QLabel(QStringLiteral("Save in:"), this), "Label1", 120, 120, 855, 255);
    Text1 = layout->Place(new QLineEdit(this), "Text1", 1080, 120, 3375, 285);
    QLabel* Label2 = layout->Place(new QLabel(QStringLiteral("File name:"), this), "Label2", 120, 480, 855, 255);
    Text2 = layout->Place(new QLineEdit(this), "Text2", 1080, 480, 2295, 285);
    Combo1 = layout->Place(new QComboBox(this), "Combo1", 3480, 480, 975, 315);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert); // the list only offers choices
    Combo1->addItems({QStringLiteral(".txt"), QStringLiteral(".mrs")});
    Label1->setBuddy(Text1);
    Label2->setBuddy(Text2);
    Combo1->setAccessibleName(QStringLiteral("Extension"));
    QPushButton* Command1 =
        layout->Place(new QPushButton(QStringLiteral("Save"), this), "Command1", 1920, 960, 1215, 375);
    Command1->setDefault(true);
    UseDahditStyle(Command1); // its focus shows beside its default frame
    QPushButton* Command2 =
        layout->Place(new QPushButton(QStringLiteral("Cancel"), this), "Command2", 3240, 960, 1215, 375);

    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    Text2->setFocus();
}

void Form3::Form_Load() {
    Text1->setText(QDir::toNativeSeparators(AppFolders().save) + QDir::separator());
}

void Form3::Command1_Click() {
    const QString path = TrimSpaces(Text1->text()) + TrimSpaces(Text2->text()) + TrimSpaces(Combo1->currentText());
    const QString text = TranscriptText(QDateTime::currentDateTime(), m_morseText(), m_outputText());
    QString error;
    if (!TextFileSave(path, text, &error)) {
        // The window stays open with what was typed, so the user can correct it and save again.
        MessageBox::show(this, error, QStringLiteral("Save File"), MessageBox::Warning);
        return;
    }
    close();
}

void Form3::Command2_Click() {
    close();
}

bool Form3::TextFileSave(const QString& FileName, const QString& Text, QString* error) {
    QString cause = PathProblem(FileName);
    if (cause.isEmpty() && WholeFile::replace(FileName, (Text + kLineEnd).toUtf8(), &cause))
        return true;
    if (error)
        *error = QStringLiteral("Cannot save the transcript to %1: %2\n\nNothing was written, and an earlier file of "
                                "that name is as it was. Put this right, or choose another folder or name, then press "
                                "Save again.")
                     .arg(QDir::toNativeSeparators(FileName), cause);
    return false;
}
