#include "form3.h"

Form3::Form3(TextSource morseText, TextSource outputText, QWidget* parent)
    : QDialog(parent), m_morseText(std::move(morseText)), m_outputText(std::move(outputText)) {
    setAttribute(Qt::WA_DeleteOnClose);
}
