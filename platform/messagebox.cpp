#include "messagebox.h"

#include <QLabel>
#include <QMessageBox>

namespace {

// Qt lays out a text with a word wider than the screen allows (a long path) as if it broke only
// between words, and the lines it breaks in the word push the last ones out of the box. The box
// grows by what its text is short of.
class Box : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            const int need = label->heightForWidth(label->width());
            if (need > label->height()) {
                label->setMinimumHeight(need);
                setFixedHeight(height() + need - label->height());
            }
        }
    }
};

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
    return make(parent, text, title, style)->exec() == QMessageBox::Ok ? Ok : Cancel;
}

std::unique_ptr<QMessageBox> MessageBox::make(QWidget* parent, const QString& text, const QString& title, int style) {
    std::unique_ptr<QMessageBox> box = std::make_unique<Box>(parent);
    box->setWindowTitle(title);
    box->setText(text);
    // The user can select the text and copy it, a file's path for one, also where the platform
    // offers no copy key for message boxes.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setIcon(style == Question      ? QMessageBox::Question
                 : style == Warning     ? QMessageBox::Warning
                 : style == Information ? QMessageBox::Information
                                        : QMessageBox::Critical);
    if (style == Question) {
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box->setDefaultButton(QMessageBox::Ok);
    }
    return box;
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
