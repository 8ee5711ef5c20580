#include "messagebox.h"

#include <QMessageBox>

namespace {
struct TestState {
    bool on = false;
    QList<int> answers;
    QList<MessageBox::Shown> shown;
};
TestState& testState() {
    static TestState state;
    return state;
}
} // namespace

int MessageBox::show(QWidget* parent, const QString& text, const QString& title, int style) {
    TestState& test = testState();
    if (test.on) {
        test.shown.append({text, title, style});
        return test.answers.isEmpty() ? Ok : test.answers.takeFirst();
    }
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    // The user can select the text and copy it, a file's path for one, also where the platform
    // offers no copy key for message boxes.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    switch (style) {
    case Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    return box.exec() == QMessageBox::Ok ? Ok : Cancel;
}

void MessageBox::setTestMode(bool on) {
    testState() = TestState();
    testState().on = on;
}

void MessageBox::setNextAnswer(int answer) {
    testState().answers.append(answer);
}

QList<MessageBox::Shown> MessageBox::takeShown() {
    QList<Shown> shown;
    shown.swap(testState().shown);
    return shown;
}
