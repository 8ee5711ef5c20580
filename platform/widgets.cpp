#include "widgets.h"

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

void PlaceTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsRect(left, top, width, height));
}

QString TrimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QIcon ProgramIcon() {
    // The pictures are compiled into this static library and nothing refers to them by symbol,
    // so they are registered by name or the linker leaves them out.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/dahdit-%1.png").arg(size), QSize(size, size));
    return icon;
}

void ReplaceText(QPlainTextEdit* box, const QString& text) {
    const QString old = box->toPlainText();
    if (old == text)
        return;
    qsizetype common = 0;
    const qsizetype limit = std::min(old.size(), text.size());
    while (common < limit && old.at(common) == text.at(common))
        ++common;
    {
        const QSignalBlocker blocker(box);
        QTextCursor cursor(box->document());
        if (common == 0) {
            box->setPlainText(text);
        } else {
            cursor.setPosition(int(common));
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.insertText(text.mid(common));
        }
        // The view follows the end of the text, where keying and pasting change it.
        cursor.movePosition(QTextCursor::End);
        box->setTextCursor(cursor);
        box->ensureCursorVisible();
    }
    emit box->textChanged();
}

namespace {

// Relative luminance and contrast ratio as the accessibility guidelines define them.
double Luminance(const QColor& colour) {
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Mix(const QColor& from, const QColor& to, double share) {
    auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(float(mix(from.redF(), to.redF())), float(mix(from.greenF(), to.greenF())),
                            float(mix(from.blueF(), to.blueF())));
}

} // namespace

QColor QuietTextColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    // The placeholder colour is often half transparent: what the eye sees is it over the window.
    const QColor placeholder = palette.color(QPalette::PlaceholderText);
    const QColor quiet = Mix(window, QColor(placeholder.rgb()), placeholder.alphaF());
    for (int step = 0; step < 20; ++step) {
        const QColor candidate = Mix(quiet, text, step / 20.0);
        if (Contrast(candidate, window) >= 4.5)
            return candidate;
    }
    return text;
}
