#pragma once

#include <QList>
#include <QString>
#include <memory>

class QMessageBox;
class QWidget;

// Every message box of the program goes through here, so that tests can answer it and see what
// it said. Styles: 48 warning with OK, 33 question with OK and Cancel, 64 information with OK,
// 16 critical with OK. The answer is 1 for OK and 2 for Cancel.
class MessageBox {
public:
    enum Style { Critical = 16, Question = 33, Warning = 48, Information = 64 };
    enum Answer { Ok = 1, Cancel = 2 };

    static int show(QWidget* parent, const QString& text, const QString& title, int style);
    // The box show() runs, not yet shown: tests lay it out to see that its texts fit.
    static std::unique_ptr<QMessageBox> make(QWidget* parent, const QString& text, const QString& title, int style);

    // Test hook: while on, no box is shown; each is recorded and answered from the queue of
    // next answers, or with OK when the queue is empty.
    struct Shown {
        QString text;
        QString title;
        int style = 0;
    };
    static void setTestMode(bool on);
    static void setNextAnswer(int answer);
    static QList<Shown> takeShown();
};
