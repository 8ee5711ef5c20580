// The time from a left-button release on the key to the updated output text, with buffers of
// 1,000, 10,000 and 100,000 closed symbols. The release appends a mark, closes nothing, and so decodes
// the whole buffer again; the figure includes the repaint. The share of the two text boxes
// (their edit, layout and paint) is measured apart on twin boxes with the same texts.
#include "benchsupport.h"
#include "decoder.h"
#include "form1.h"
#include "testsupport.h"
#include "textbox.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdio>

namespace {

void Release(QPushButton* key, quint64 stamp, QEvent::Type type) {
    const QPointF at(10, 10);
    QMouseEvent event(type, at, key->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    event.setTimestamp(stamp);
    QCoreApplication::sendEvent(key, &event);
}

} // namespace

int main(int argc, char** argv) {
    GuardSqlite(); // as Dahdit starts
    QApplication app(argc, argv);
    ProgramFolder folder;
    folder.copyBundledDatabase();
    CodeTableStore store;
    store.open(folder.file(QStringLiteral("dahdit_db.mdb")));
    QVector<CodeTableEntry> rows;
    ListEntries(store, QStringLiteral("International"), &rows);

    Form1 form;
    form.show();
    auto* text1 = form.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    auto* text2 = form.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    auto* key = form.findChild<QPushButton*>(QStringLiteral("MK"));

    std::printf("Left-button release to updated output text (median of 21 releases)\n");
    std::printf("%8s %12s %14s %14s %12s\n", "symbols", "release ms", "Text1 box ms", "Text2 box ms", "lookups ms");
    for (int symbols : Full<std::vector<int>>({1000, 10000, 100000}, {1000})) {
        const QString buffer = MakeBuffer(rows, symbols);
        quint64 stamp = 1000000;
        std::vector<double> times;
        for (int i = 0; i < Full(21, 3); ++i) {
            form.Clear_Click();
            text1->setPlainText(buffer + QStringLiteral(".-")); // an open symbol being keyed
            QApplication::processEvents();
            Release(key, stamp, QEvent::MouseButtonPress);
            QElapsedTimer timer;
            timer.start();
            Release(key, stamp + 60, QEvent::MouseButtonRelease);
            QApplication::processEvents();
            times.push_back(timer.nsecsElapsed() / 1e6);
            stamp += 1000;
        }
        std::sort(times.begin(), times.end());

        // Twin boxes set up as the window's, given the same change.
        QPlainTextEdit twin1;
        QPlainTextEdit twin2;
        for (QPlainTextEdit* twin : {&twin1, &twin2}) {
            SetUpLongTextBox(twin);
            twin->setFont(text1->font());
            twin->setUndoRedoEnabled(false);
            twin->resize(text1 == nullptr ? QSize() : (twin == &twin1 ? text1->size() : text2->size()));
            twin->show();
        }
        DecodeResult decoded;
        DecodeBuffer(buffer, store, QStringLiteral("International"), &decoded);
        const double twoEdits = MedianMs(Full(21, 3), [&] {
            ReplaceText(&twin1, buffer + QStringLiteral(".-"));
            ReplaceText(&twin1, buffer + QStringLiteral(".-."));
            QApplication::processEvents();
        });
        const double box1 = twoEdits / 2;
        const double box2 = MedianMs(Full(21, 3), [&] {
            twin2.clear();
            ReplaceText(&twin2, decoded.output);
            QApplication::processEvents();
        });
        const double lookups = MedianMs(Full(21, 3), [&] {
            DecodeResult result;
            DecodeBuffer(buffer, store, QStringLiteral("International"), &result);
        });
        std::printf("%8d %12.2f %14.2f %14.2f %12.2f\n", symbols, times[times.size() / 2], box1, box2, lookups);
    }
    std::printf("Goals: 16 ms at 1,000 symbols, 33 ms at 10,000.\n");

    form.close();
    return 0;
}
