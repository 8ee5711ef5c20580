#include "form3.h"

#include "apppath.h"
#include "messagebox.h"
#include "widgets.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSaveFile>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// Why a path cannot take a file, found before anything is written; empty when it looks fine.
QString PathProblem(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("no folder or file name is given.");
    const QFileInfo info(path);
    if (info.isDir() || path.endsWith(u'/') || path.endsWith(QDir::separator()))
        return QStringLiteral("this is a folder, not a file. Type a file name.");
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
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Save File"));
    // A tool window stays out of the task bar and keeps its title bar and close box.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(Twips(4575), Twips(1455));
    buildControls();
    Form_Load();
}

void Form3::buildControls() {
    Label1 = Place(new QLabel(QStringLiteral("Save in:"), this), "Label1", 120, 120, 855, 255);
    Text1 = Place(new QLineEdit(this), "Text1", 1080, 120, 3375, 285);
    Label2 = Place(new QLabel(QStringLiteral("File name:"), this), "Label2", 120, 480, 855, 255);
    Text2 = Place(new QLineEdit(this), "Text2", 1080, 480, 2295, 285);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert); // the list only offers choices
    Combo1->addItems({QStringLiteral(".txt"), QStringLiteral(".mrs")});
    Combo1->setCurrentIndex(0);
    PlaceTwips(Combo1, 3480, 480, 975, 315);
    Label1->setBuddy(Text1);
    Label2->setBuddy(Text2);
    Combo1->setAccessibleName(QStringLiteral("Extension"));
    Command1 = new QPushButton(QStringLiteral("Save"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    PlaceTwips(Command1, 1920, 960, 1215, 375);
    Command2 = Place(new QPushButton(QStringLiteral("Cancel"), this), "Command2", 3240, 960, 1215, 375);

    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Combo1);
    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, Command2);
    Text2->setFocus();
}

void Form3::Form_Load() {
    Text1->setText(QDir::toNativeSeparators(AppPath()) + QDir::separator());
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
    auto fail = [&](const QString& cause) {
        if (error)
            *error = QStringLiteral("Cannot save the transcript to %1: %2\n\nNothing was written. Check the folder "
                                    "and the file name, then press Save again.")
                         .arg(QDir::toNativeSeparators(FileName), cause);
        return false;
    };
    const QString problem = PathProblem(FileName);
    if (!problem.isEmpty())
        return fail(problem);

    // Written to a temporary file beside the target and renamed over it only when complete,
    // so a failed write leaves an earlier file of that name as it was.
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString() + u'.');
    const QByteArray bytes = (Text + kLineEnd).toUtf8();
    if (file.write(bytes) != bytes.size()) {
        const QString cause = file.errorString();
        file.cancelWriting();
        return fail(cause + u'.');
    }
    if (!file.commit())
        return fail(file.errorString() + u'.');
    return true;
}
