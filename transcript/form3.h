#pragma once

#include <QDialog>
#include <functional>

class Form3 : public QDialog {
    Q_OBJECT
public:
    using TextSource = std::function<QString()>;
    // morseText and outputText give the main window's two texts when Save is pressed.
    Form3(TextSource morseText, TextSource outputText, QWidget* parent = nullptr);

private:
    TextSource m_morseText;
    TextSource m_outputText;
};
