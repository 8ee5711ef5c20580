#include "messagebox.h"

#include "textbox.h"

#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <utility>

namespace {

// Qt makes a message box as wide as it sees fit, which on a small screen may reach past its edge,
// or leave a long text taller than the screen: the box keeps within the screen, and takes the
// screen's width where its text would otherwise run past the bottom.
class Box : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label)
            return;
        const QRect area = screen()->availableGeometry();
        const int spare = area.width() - frameGeometry().width(); // negative where the box is too wide
        int grow = std::min(0, spare);
        if (label->heightForWidth(label->width() + grow) + frameGeometry().height() - label->height() > area.height())
            grow = spare;
        if (label->wordWrap() && grow != 0) {
            label->setFixedWidth(label->width() + grow);
            layout()->activate();
            setFixedSize(width() + grow, layout()->totalHeightForWidth(width() + grow));
            move(area.left(), y());
        }
        // Between words, where Qt may break them anywhere; a word wider than the screen allows (a long
        // path) breaks where its lines end, and the box grows by what its text is short of.
        BreakLongWords(label);
        if (const int need = label->heightForWidth(label->width()); need > label->height()) {
            label->setMinimumHeight(need);
            setFixedHeight(height() + need - label->height());
        }
    }
};

struct TestState {
    bool on = false;
    QList<int> answers;
    QList<MessageBox::Shown> shown;
} g_test;
} // namespace

int MessageBox::show(QWidget* parent, const QString& text, const QString& title, int style) {
    if (g_test.on) {
        g_test.shown.append({text, title, style});
        return g_test.answers.isEmpty() ? Ok : g_test.answers.takeFirst();
    }
    return make(parent, text, title, style)->exec() == QMessageBox::Ok ? Ok : Cancel;
}

std::unique_ptr<QMessageBox> MessageBox::make(QWidget* parent, const QString& text, const QString& title, int style) {
    std::unique_ptr<QMessageBox> box = std::make_unique<Box>(parent);
    box->setWindowTitle(title);
    box->setTextFormat(Qt::PlainText); // a typed name or a table's text that looks like markup stays as it is
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
    g_test = TestState();
    g_test.on = on;
}

void MessageBox::setNextAnswer(int answer) {
    g_test.answers.append(answer);
}

QList<MessageBox::Shown> MessageBox::takeShown() {
    return std::exchange(g_test.shown, {});
}
