#include "appearance.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QSlider>
#include <QStyleFactory>
#include <QStyleOption>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>

QIcon ProgramIcon() {
    // The pictures are compiled into this static library and nothing refers to them by symbol,
    // so they are registered by name or the linker leaves them out. Qt registers them once.
    Q_INIT_RESOURCE(resources);
    // A size drawn as a picture of its own is taken as it is; every other size a task switcher or
    // a dock asks for is drawn from the icon's outlines.
    QIcon icon;
    QSvgRenderer outlines(QStringLiteral(":/icons/dahdit.svg"));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        if (const QString drawn = QStringLiteral(":/icons/dahdit-%1.png").arg(size); QFile::exists(drawn)) {
            icon.addFile(drawn, QSize(size, size));
            continue;
        }
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        outlines.render(&painter);
        icon.addPixmap(picture);
    }
    return icon;
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

// The tick marks of a slider: the quietest colour of the palette that still stands out from the
// window at 3:1, as the accessibility guidelines ask of the parts of a control.
QColor TickColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    QColor tick = palette.color(QPalette::WindowText);
    for (QPalette::ColorRole role : {QPalette::Dark, QPalette::Mid, QPalette::Shadow, QPalette::Midlight,
                                     QPalette::Light, QPalette::ButtonText, QPalette::Text}) {
        const QColor colour = palette.color(role);
        if (colour.alpha() == 255 && Contrast(colour, window) >= 3 && Contrast(colour, window) < Contrast(tick, window))
            tick = colour;
    }
    return tick;
}

class DahditStyle : public QProxyStyle {
public:
    // A style of the desktop's kind of its own: a proxy takes its base style over.
    DahditStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    // Many styles mark the default button and the focused one alike, so that Tab to the default
    // button shows nothing: a focused button is also ringed inside, in the highlight colour.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_PushButton || !(option->state & State_HasFocus) ||
            !(option->state & State_KeyboardFocusChange))
            return;
        painter->save();
        painter->setPen(option->palette.color(QPalette::Highlight));
        painter->drawRect(subElementRect(SE_PushButtonFocusRect, option, widget).adjusted(0, 0, -1, -1));
        painter->restore();
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_Slider || !slider || slider->orientation != Qt::Horizontal ||
            !(slider->subControls & SC_SliderTickmarks)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionSlider withoutTicks(*slider);
        withoutTicks.subControls &= ~SC_SliderTickmarks;
        QProxyStyle::drawComplexControl(control, &withoutTicks, painter, widget);
        // The ticks where the style puts them, under the middle of the handle at each position: below the
        // groove, the only side Dahdit's sliders show them.
        const int length = pixelMetric(PM_SliderLength, slider, widget);
        const int reach = pixelMetric(PM_SliderTickmarkOffset, slider, widget);
        const int step = std::max(slider->tickInterval, 1);
        const QRect& rect = slider->rect;
        painter->save();
        painter->setPen(TickColor(slider->palette));
        for (int value = slider->minimum; value <= slider->maximum; value += step) {
            const int x = rect.x() + length / 2 +
                          sliderPositionFromValue(slider->minimum, slider->maximum, value, rect.width() - length,
                                                  slider->upsideDown);
            const int start = value == slider->minimum || value == slider->maximum ? 1 : 2;
            if (slider->tickPosition & QSlider::TicksBelow)
                painter->drawLine(x, rect.bottom() - start, x, rect.bottom() - reach);
        }
        painter->restore();
    }
};

} // namespace

void UseDahditStyle(QWidget* widget) {
    auto* style = new DahditStyle;
    style->setParent(widget);
    widget->setStyle(style);
}

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
