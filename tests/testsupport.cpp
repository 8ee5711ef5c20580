#include "testsupport.h"

void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList Shown() {
    QCoreApplication::processEvents();
    QStringList texts;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        texts << box.title + u'|' + QString::number(box.style) + u'|' + box.text;
    return texts;
}

void Key(Form1& form, const QString& marks) {
    for (QChar mark : marks) {
        form.MK_MouseDown(1);
        if (mark == u'-')
            form.Timer1_Timer();
        form.MK_MouseUp(1);
    }
    form.Timer2_Timer();
}

QString Decode(Form1& form, const QString& buffer) {
    child<QPlainTextEdit>(form, "Text1")->setPlainText(buffer);
    return child<QPlainTextEdit>(form, "Text2")->toPlainText();
}

void WindowTest::cleanup() {
    RunDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    const QStringList left = Shown();
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u'\n')));
}
