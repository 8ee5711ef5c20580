// Code tables that are hostile by their size, and sound tables that are large: what keying and a
// paste cost when one entry holds a text of 8 MiB; how much memory a paste of 1, 4 and 10 MiB
// takes when every code stands for 64 KiB of text; how many symbols of a phrase table (codes that
// stand for 40-character texts) a paste of 100,000 of them decodes whole; and how long the code
// table editor takes to list 200,000 entries read at 2 ms per page (a network share), through a
// file system layer that sleeps before every read.
//
// Each case runs in a child process of its own with its address space capped at 3 GiB, so that a
// case that runs out of memory ends there instead of taking the machine's memory, and a case
// that takes far too long is stopped at a cap. The figures are wall time and resident memory.
// Usage: bench_hostile [cap in seconds, 120 unless given]
#include "benchsupport.h"
#include "form1.h"
#include "form4.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qint64 kAddressSpace = qint64(3) << 30;
int SlowRows() {
    return Full(200000, 2000);
}
std::atomic<int> g_readDelayUs{0};

// The default file system layer of SQLite, with a pause before every read while asked for.
sqlite3_vfs g_slow;
sqlite3_io_methods g_slowMethods;
const sqlite3_io_methods* g_baseMethods = nullptr;

int SlowRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    if (const int us = g_readDelayUs.load())
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    return g_baseMethods->xRead(file, buffer, amount, offset);
}

int SlowOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* base = static_cast<sqlite3_vfs*>(vfs->pAppData);
    const int rc = base->xOpen(base, name, file, flags, outFlags);
    if (rc == SQLITE_OK && file->pMethods) {
        if (!g_baseMethods) {
            g_baseMethods = file->pMethods;
            g_slowMethods = *file->pMethods;
            g_slowMethods.xRead = SlowRead;
        }
        if (file->pMethods == g_baseMethods)
            file->pMethods = &g_slowMethods;
    }
    return rc;
}

void InstallSlowDisk() {
    sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    g_slow = *base;
    g_slow.zName = "slowdisk";
    g_slow.pAppData = base;
    g_slow.xOpen = SlowOpen;
    sqlite3_vfs_register(&g_slow, 1);
}

double ResidentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? double(fields[1].toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

void Say(const QString& line) {
    std::printf("  %s\n", qPrintable(line));
    std::fflush(stdout);
}

// The bundled tables, with the text of "." made 8 MiB long.
void HugeText(const ProgramFolder& folder) {
    folder.copyBundledDatabase();
    ExecSql(folder.file(QStringLiteral("dahdit_db.mdb")),
            QStringLiteral("UPDATE International SET TS = hex(zeroblob(%1)) WHERE MS = '.'").arg(Full(4194304, 32768)));
}

int KeyDots() {
    ProgramFolder folder;
    HugeText(folder);
    Form1 form;
    form.show();
    auto* output = form.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    for (int dot = 1; dot <= 5; ++dot) {
        QElapsedTimer clock;
        clock.start();
        Key(form, QStringLiteral("."));
        QApplication::processEvents();
        Say(QStringLiteral("dot %1: %2 ms, output %3 characters, resident %4 MiB")
                .arg(dot)
                .arg(clock.elapsed())
                .arg(output->document()->characterCount() - 1)
                .arg(ResidentMiB(), 0, 'f', 0));
    }
    return 0;
}

int PasteDots() {
    ProgramFolder folder;
    HugeText(folder);
    Form1 form;
    form.show();
    QApplication::processEvents();
    const double before = ResidentMiB();
    QElapsedTimer clock;
    clock.start();
    Say(QStringLiteral("pasting \". \" x 400 (resident %1 MiB)").arg(before, 0, 'f', 0));
    const QString output = Decode(form, QStringLiteral(". ").repeated(400));
    QApplication::processEvents();
    Say(QStringLiteral("done: %1 ms, output %2 characters, errors %3, peak resident %4 MiB")
            .arg(clock.elapsed())
            .arg(output.size())
            .arg(child<QLabel>(form, "Panel4")->text().mid(8))
            .arg(PeakMiB(), 0, 'f', 0));
    return 0;
}

// Every code of the bundled International table made to stand for the same text, of 64 KiB (the
// most a code may stand for) or none, and a paste of megabytes of ". ".
int PasteLongTexts(int mebibytes, int textKiB) {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    ExecSql(folder.file(QStringLiteral("dahdit_db.mdb")),
            QStringLiteral("UPDATE International SET TS = hex(zeroblob(%1))").arg(textKiB * 512));
    Form1 form;
    form.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    const QString buffer = QStringLiteral(". ").repeated(Full(mebibytes << 19, 1 << 15));
    const QString output = Decode(form, buffer);
    QApplication::processEvents();
    Say(QStringLiteral("%1 MiB pasted: %2 ms, output %3 characters, errors %4, peak resident %5 MiB")
            .arg(double(buffer.size()) / (1 << 20), 0, 'f', 2)
            .arg(clock.elapsed())
            .arg(output.size())
            .arg(child<QLabel>(form, "Panel4")->text().mid(8))
            .arg(PeakMiB(), 0, 'f', 0));
    return 0;
}

// A table of phrases, as Q-code tables have: every code of one to five marks standing for a text of
// 40 characters, and a paste of 100,000 of its short codes (one to three marks).
int PastePhrases() {
    ProgramFolder folder;
    CodeRows rows;
    QStringList shortCodes;
    for (int marks = 1; marks <= 5; ++marks) {
        for (int bits = 0; bits < 1 << marks; ++bits) {
            const QString code = QString::number(bits | 1 << marks, 2).mid(1).replace(u'0', u'.').replace(u'1', u'-');
            rows.append({code, QStringLiteral("phrase %1 ").arg(code).leftJustified(40, u'x')});
            if (marks <= 3)
                shortCodes << code;
        }
    }
    MakeCodeTable(folder.file(QStringLiteral("dahdit_db.mdb")), QStringLiteral("International"), rows);
    QString buffer;
    for (int i = 0; i < Full(100000, 2000); ++i)
        buffer += shortCodes[i % shortCodes.size()] + u' ';
    Form1 form;
    form.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    const QString output = Decode(form, buffer);
    QApplication::processEvents();
    Say(QStringLiteral("100,000 symbols pasted: %1 ms, %2 decoded whole, errors %3, output %4 characters, peak "
                       "resident %5 MiB")
            .arg(clock.elapsed())
            .arg(output.size() / 40)
            .arg(child<QLabel>(form, "Panel4")->text().mid(8))
            .arg(output.size())
            .arg(PeakMiB(), 0, 'f', 0));
    return 0;
}

// The longest time the event loop was held up while work ran: the work itself (a constructor, a
// click), then every turn of the loop until done() holds or the cap runs out.
struct Watch {
    qint64 took = -1;   // ms until done() held; -1 when it never did
    qint64 longest = 0; // ms, the longest single step
};
template <typename Work, typename Done> Watch Watched(Work work, Done done, qint64 capMs = 600000) {
    Watch watch;
    QElapsedTimer clock, step;
    clock.start();
    step.start();
    work();
    watch.longest = step.elapsed();
    while (clock.elapsed() < capMs) {
        if (done()) {
            watch.took = clock.elapsed();
            break;
        }
        step.restart();
        QApplication::processEvents();
        watch.longest = std::max(watch.longest, step.elapsed());
    }
    return watch;
}

QString Took(const Watch& watch) {
    return watch.took < 0 ? QStringLiteral("not within the cap") : QStringLiteral("%1 ms").arg(watch.took);
}

int SlowListing() {
    InstallSlowDisk();
    ProgramFolder folder;
    const QString db = folder.file(QStringLiteral("dahdit_db.mdb"));
    // Distinct codes, each the entry's number in dots and dashes (three marks to an octal digit),
    // and signals W0, W1, ...
    QString code = QStringLiteral("printf('%o', i)");
    for (int digit = 0; digit < 8; ++digit) {
        const QString marks = QString::number(digit, 2).rightJustified(3, u'0').replace(u'0', u'.').replace(u'1', u'-');
        code = QStringLiteral("replace(%1, '%2', '%3')").arg(code).arg(digit).arg(marks);
    }
    MakeCodeTable(db, QStringLiteral("International"), {});
    ExecSql(db, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < %1) "
                               "INSERT INTO International (MS, TS) SELECT %2, 'W' || i FROM n")
                    .arg(SlowRows())
                    .arg(code));
    // The first three texts of each column in the list's order, ascending and descending, read
    // before the disk slows.
    QStringList ends[2];
    {
        CodeTableStore store;
        QVector<CodeTableEntry> rows;
        store.open(db);
        ListEntries(store, QStringLiteral("International"), &rows);
        for (int column = 0; column < 2; ++column) {
            QStringList texts;
            for (const CodeTableEntry& row : std::as_const(rows))
                texts << (column == 0 ? row.ts : row.ms);
            std::sort(texts.begin(), texts.end(), [](const QString& a, const QString& b) {
                const int order = QString::compare(a, b, Qt::CaseInsensitive);
                return order != 0 ? order < 0 : a < b;
            });
            QStringList descending = texts.mid(texts.size() - 3);
            std::reverse(descending.begin(), descending.end());
            ends[column] = QStringList{texts.mid(0, 3).join(u' '), descending.join(u' ')};
        }
    }
    g_readDelayUs = 2000;
    Say(QStringLiteral("resident before opening: %1 MiB").arg(ResidentMiB(), 0, 'f', 0));
    std::unique_ptr<Form4> form;
    const QAbstractItemView* list = nullptr;
    const QLabel* reason = nullptr;
    const QGroupBox* frame = nullptr;
    auto rows = [&] { return list ? list->model()->rowCount() : 0; };
    const Watch first = Watched(
        [&] {
            form = std::make_unique<Form4>();
            form->show();
            list = form->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
            reason = form->findChild<QLabel*>(QStringLiteral("Unavailable"));
            frame = form->findChild<QGroupBox*>(QStringLiteral("Frame1"));
        },
        [&] { return rows() > 0 || !reason->isHidden(); });
    Say(QStringLiteral("first rows shown: %1 (%2 rows), the longest freeze %3 ms")
            .arg(Took(first))
            .arg(rows())
            .arg(first.longest));
    const Watch counted =
        Watched([] {}, [&] { return frame->title().contains(QString::number(SlowRows())) || !reason->isHidden(); });
    Say(QStringLiteral(
            "count in the caption: %1 after the first rows, \"%2\", the longest freeze %3 ms, resident %4 MiB")
            .arg(Took(counted))
            .arg(reason->isHidden() ? frame->title() : reason->text().section(u'\n', 0, 0))
            .arg(counted.longest)
            .arg(ResidentMiB(), 0, 'f', 0));
    const char* names[2] = {"Signal", "Morse Code"};
    for (int column = 0; column < 2; ++column) {
        auto top = [&] {
            QStringList texts;
            for (int row = 0; row < std::min(3, list->model()->rowCount()); ++row)
                texts << list->model()->index(row, column).data().toString();
            return texts.join(u' ');
        };
        const Watch sorted = Watched([&] { form->ListView1_ColumnClick(column); },
                                     [&] { return !reason->isHidden() || ends[column].contains(top()); });
        Say(QStringLiteral(
                "sorted by %1: first rows shown in %2, the longest freeze %3 ms, top rows %4, resident %5 MiB")
                .arg(QLatin1String(names[column]))
                .arg(Took(sorted))
                .arg(sorted.longest)
                .arg(top())
                .arg(ResidentMiB(), 0, 'f', 0));
    }
    if (!reason->isHidden())
        Say(QStringLiteral("the editor says: %1").arg(reason->text().section(u'\n', 0, 0)));
    Say(QStringLiteral("peak resident %1 MiB").arg(PeakMiB(), 0, 'f', 0));
    return 0;
}

using Case = int (*)();
const struct {
    const char* name;
    Case run;
} kCases[] = {
    {"keying five dots, \".\" standing for 8 MiB of text", KeyDots},
    {"a paste of \". \" x 400, \".\" standing for 8 MiB of text", PasteDots},
    {"a paste of 1 MiB of \". \", every code standing for 64 KiB of text", [] { return PasteLongTexts(1, 64); }},
    {"a paste of 4 MiB of \". \", every code standing for 64 KiB of text", [] { return PasteLongTexts(4, 64); }},
    {"a paste of 10 MiB of \". \", every code standing for 64 KiB of text", [] { return PasteLongTexts(10, 64); }},
    {"the same 10 MiB with every code standing for no text: the buffer's own cost",
     [] { return PasteLongTexts(10, 0); }},
    {"a paste of 100,000 symbols of a phrase table, each code standing for 40 characters", PastePhrases},
    {"the editor's list of 200,000 entries at 2 ms per page read", SlowListing},
};

} // namespace

int main(int argc, char** argv) {
    GuardSqlite(); // as Dahdit starts
    if (argc == 3 && qstrcmp(argv[1], "--case") == 0) {
        const rlimit limit{rlim_t(kAddressSpace), rlim_t(kAddressSpace)};
        setrlimit(RLIMIT_AS, &limit);
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        MessageBox::setTestMode(true);
        return kCases[QByteArray(argv[2]).toInt()].run();
    }
    QCoreApplication app(argc, argv);
    const int cap = argc > 1 ? QByteArray(argv[1]).toInt() : 120;
    bool ok = true; // every case ran to its end
    for (int i = 0; i < int(std::size(kCases)); ++i) {
        std::printf("%s\n", kCases[i].name);
        std::fflush(stdout);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--case"), QString::number(i)});
        if (!child.waitForFinished(cap * 1000)) {
            child.kill();
            child.waitForFinished();
            std::printf("  stopped after %d s\n", cap);
            ok = false;
        } else if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::printf("  ended abnormally (%s)\n", child.exitStatus() == QProcess::CrashExit
                                                         ? "crashed or aborted"
                                                         : qPrintable(QString::number(child.exitCode())));
            ok = false;
        }
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
