#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QDateTime;
class QLineEdit;

// The text of a transcript without its final line end: the date and time, an empty line, the
// Morse buffer, an empty line, the output text. Lines end in CR LF.
QString TranscriptText(const QDateTime& when, const QString& morse, const QString& output);

// The Save window: writes the main window's Morse buffer and output text, with the date and
// time, to a file the user names by folder, name and extension.
class Form3 : public QDialog {
    Q_OBJECT
public:
    using TextSource = std::function<QString()>;
    // morseText and outputText give the main window's two texts when Save is pressed.
    Form3(TextSource morseText, TextSource outputText, QWidget* parent = nullptr);

    void Command1_Click(); // Save
    void Command2_Click(); // Cancel

    // Writes Text and a final CR LF to FileName as UTF-8, replacing the file whole or leaving
    // it as it was. False, with a message naming the file and the cause in error, on failure.
    bool TextFileSave(const QString& FileName, const QString& Text, QString* error = nullptr);

private:
    void buildControls();
    void Form_Load();

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QComboBox* Combo1 = nullptr;

    TextSource m_morseText;
    TextSource m_outputText;
};
