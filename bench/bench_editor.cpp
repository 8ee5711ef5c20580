// How long the code table editor takes to fill its list from a table of 10,000 entries: its first
// page and the count in its caption. Prints the median of several fills (Cancel runs exactly the
// fill), the fill with the repaint that follows it, opening the window, a re-sort by a column
// click, and reading the whole list as a view scrolled to its end would. The budget is 300 ms.
#include "benchsupport.h"
#include "entrylist.h"
#include "form4.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGroupBox>
#include <algorithm>
#include <cstdio>

namespace {

const int kRows = Full(10000, 500);
const int kRuns = Full(9, 2);

// Distinct codes (the number in dots and dashes) and distinct signals in an order unlike the
// IDs, so that sorting has work to do.
CodeRows ManyRows() {
    CodeRows rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        QString code;
        for (int bit = 13; bit >= 0; --bit)
            code += (i >> bit) & 1 ? u'-' : u'.';
        rows.append({code, QStringLiteral("W%1").arg((i * 7919) % kRows, 5, 10, QLatin1Char('0'))});
    }
    return rows;
}

double Median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

template <typename Work> double Milliseconds(Work work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    GuardSqlite(); // as Dahdit starts
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ProgramFolder folder;
    MakeCodeTable(folder.file(QStringLiteral("dahdit_db.mdb")), QStringLiteral("International"), ManyRows());

    // The count goes on a part at a time while the event loop turns: a fill ends when it is done.
    Form4* form = nullptr;
    bool counted = false;
    auto untilCounted = [&counted] {
        for (QDeadlineTimer wait(10000); !counted && !wait.hasExpired();)
            QCoreApplication::processEvents();
    };
    const double open = Milliseconds([&] {
        form = new Form4;
        QObject::connect(form->findChild<EntryList*>(), &EntryList::counted, [&counted] { counted = true; });
        form->show();
        counted = form->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title().contains(u'(');
        untilCounted();
    });
    QAbstractItemModel* list = form->findChild<QAbstractItemView*>(QStringLiteral("ListView1"))->model();
    const QString title = form->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title();
    if (title != QStringLiteral("Current entries (%1)").arg(kRows)) {
        std::fprintf(stderr, "bench_editor: the list says \"%s\", not %d entries\n", qPrintable(title), kRows);
        return 1;
    }

    QList<double> fills;
    QList<double> painted;
    for (int run = 0; run < kRuns; ++run) {
        fills << Milliseconds([&] {
            counted = false;
            form->Command3_Click();
            untilCounted();
        });
        painted << Milliseconds([&] {
            counted = false;
            form->Command3_Click();
            untilCounted();
            QCoreApplication::processEvents();
        });
    }
    QList<double> sorts;
    for (int run = 0; run < kRuns; ++run)
        sorts << Milliseconds([&] { form->ListView1_ColumnClick(run % 2); });
    const double whole = Milliseconds([&] {
        while (list->canFetchMore(QModelIndex()))
            list->fetchMore(QModelIndex());
    });

    std::printf("editor list of %d entries (median of %d runs)\n", kRows, kRuns);
    std::printf("  FillEntryList:                %7.1f ms (budget 300 ms)\n", Median(fills));
    std::printf("  FillEntryList and repaint:    %7.1f ms\n", Median(painted));
    std::printf("  column click (re-sort):       %7.1f ms\n", Median(sorts));
    std::printf("  the whole list, page by page: %7.1f ms (%d rows)\n", whole, list->rowCount());
    std::printf("  opening the window (once):    %7.1f ms\n", open);
    delete form;
    return Median(fills) <= 300.0 ? 0 : 1;
}
