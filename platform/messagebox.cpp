#include "messagebox.h"

#include "textbox.h"

#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <tuple>
#include <utility>

namespace {

bool IsSeparator(QChar c) {
    return c == u'/' || c == QDir::separator();
}

// A path in a text, and the end of the word it is in: the punctuation a sentence puts after the
// path goes with it.
struct Path {
    int start;
    int end;
    int word;
};

QList<Path> Paths(const QString& text) {
    static const QRegularExpression word(QStringLiteral("\\S*[/\\\\]\\S*"));
    QList<Path> paths;
    for (auto words = word.globalMatch(text); words.hasNext();) {
        const QRegularExpressionMatch found = words.next();
        int end = int(found.capturedEnd());
        while (end > found.capturedStart() && QStringLiteral(".,:;!?)\"'").contains(text[end - 1]))
            --end;
        paths.append({int(found.capturedStart()), end, int(found.capturedEnd())});
    }
    return paths;
}

// The text wrapped between words to a width: a word wider than that has a line of its own.
std::unique_ptr<QTextLayout> Wrapped(const QString& text, const QFont& font, int width) {
    auto layout = std::make_unique<QTextLayout>(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout->setTextOption(option);
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine())
        line.setLineWidth(width);
    layout->endLayout();
    return layout;
}

int LongestWord(const QString& text, const QFont& font) {
    const std::unique_ptr<QTextLayout> words = Wrapped(text, font, 0);
    qreal longest = 0;
    for (int i = 0; i < words->lineCount(); ++i)
        longest = std::max(longest, words->lineAt(i).naturalTextWidth());
    return int(std::ceil(longest));
}

// The width, between least and room, at which the text wraps with the fewest paths broken across
// lines, and those only after a separator; of widths alike, the nearest to width, and rather wider.
// The widths tried are those at which a line of a width tried before would end with a path whole,
// or at one of its separators; the first are width, room, and a path at the start of each line.
int WidthForPaths(const QString& text, const QFont& font, int width, int least, int room) {
    const QList<Path> paths = Paths(text);
    const QFontMetrics metrics(font);
    int best = width;
    std::tuple<int, int, bool, int> fewest{INT_MAX, 0, false, 0};
    std::set<int> tried;
    QList<int> widths{width, room, 0};
    for (int round = 0; round < 3 && !widths.isEmpty(); ++round) {
        QList<int> next;
        for (int wrap : std::as_const(widths)) {
            if (!tried.insert(wrap).second)
                continue;
            const std::unique_ptr<QTextLayout> layout = Wrapped(text, font, wrap);
            int amiss = 0;
            int broken = 0;
            for (int i = 0; i < layout->lineCount(); ++i) {
                const int start = layout->lineAt(i).textStart();
                const int end = start + layout->lineAt(i).textLength();
                for (const Path& path : paths) {
                    for (int at = std::max(start, path.start) + 1; at <= path.word && path.start < end; ++at) {
                        if (at == path.word || IsSeparator(text[at - 1]))
                            next << metrics.horizontalAdvance(text.mid(start, at - start)) + 1;
                    }
                    if (i + 1 < layout->lineCount() && end > path.start && end < path.end) {
                        amiss += !IsSeparator(text[end - 1]);
                        ++broken;
                    }
                }
            }
            if (const std::tuple<int, int, bool, int> breaks{amiss, broken, wrap < width, std::abs(wrap - width)};
                wrap >= least && wrap <= room && breaks < fewest) {
                fewest = breaks;
                best = wrap;
            }
        }
        widths = next;
    }
    return std::min(best, room);
}

// Qt wraps a message at a width of its own, which breaks a path at any "/" or "-", and past a
// narrow limit breaks even the words; the box it makes may also reach past a small screen. The box
// takes the width its text needs as far as the screen allows.
class Box : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label)
            return;
        const int shown = label->contentsRect().width();
        const QRect area = screen()->availableGeometry();
        const int around = frameGeometry().width() - shown;
        const int room = area.width() - around;
        const int least = std::min(LongestWord(label->text(), label->font()), room);
        if (const int text = WidthForPaths(label->text(), label->font(), std::max(shown, least), least, room);
            label->wordWrap() && text != shown) {
            label->setFixedWidth(label->width() + text - shown);
            layout()->activate();
            setFixedSize(width() + text - shown, layout()->totalHeightForWidth(width() + text - shown));
            move(std::clamp(x() - (text - shown) / 2, area.left(),
                            std::max(area.left(), area.right() + 1 - around - text)),
                 y());
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
