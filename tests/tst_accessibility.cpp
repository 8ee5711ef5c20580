// What a screen reader finds: a name for every control that takes the focus in every window,
// the sliders' times as they move, and an editor warning that can be read.
#include "testsupport.h"

#include <cmath>

namespace {

QString Accessible(QObject* object, QAccessible::Text text = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(text) : QString();
}

// Contrast ratio of two opaque colours, as the accessibility guidelines define it.
double Contrast(const QColor& a, const QColor& b) {
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    auto lum = [&](const QColor& c) {
        return 0.05 + 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    return std::max(lum(a), lum(b)) / std::min(lum(a), lum(b));
}

} // namespace

class TestAccessibility : public WindowTest {
    Q_OBJECT
private slots:
    void focusableControlsAreNamedAndSlidersTellTheirTime();
    void warningReadsInLightAndDark();
};

void TestAccessibility::focusableControlsAreNamedAndSlidersTellTheirTime() {
    ProgramFolder folder(true);
    auto none = [] { return QString(); };
    Form1 form1;
    Form4 form4;
    Form5 form5;
    Form3 form3(none, none);
    Form2 form2;
    QStringList unnamed;
    for (QWidget* window : std::initializer_list<QWidget*>{&form1, &form4, &form5, &form3, &form2})
        for (QWidget* control : window->findChildren<QWidget*>()) {
            // A control handing its focus on is heard as itself; a drop-down list is Qt's own window.
            if (!(control->focusPolicy() & Qt::TabFocus) || control->focusProxy() ||
                control->parentWidget()->focusProxy() || control->window() != window)
                continue;
            if (Accessible(control).trimmed().isEmpty())
                unnamed << window->objectName() + u'/' + control->objectName();
        }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", ")));

    auto* slider1 = child<QSlider>(form1, "Slider1");
    auto* slider2 = child<QSlider>(form1, "Slider2");
    auto time = [](QSlider* slider) {
        return QAccessible::queryAccessibleInterface(slider)->valueInterface()->currentValue().toInt();
    };
    QVERIFY(Accessible(slider1) == "Delay time" && time(slider1) == 150 && time(slider2) == 250);
    // While the thumb is dragged the time follows it, before the new position is taken.
    slider1->setSliderDown(true);
    slider1->setSliderPosition(12);
    QVERIFY(time(slider1) == 300 && slider1->value() == 6);
    QCOMPARE(Accessible(slider1, QAccessible::Value), QStringLiteral("300 milliseconds"));
    // The reader sets a time; the slider takes the nearest position, as if moved by hand.
    QAccessible::queryAccessibleInterface(slider2)->valueInterface()->setCurrentValue(330);
    QVERIFY(slider2->value() == 9 && time(slider2) == 325);
    QCOMPARE(Accessible(child<QLabel>(form1, "Panel3")), QStringLiteral("Space delay time: 325 ms"));
}

void TestAccessibility::warningReadsInLightAndDark() {
    ProgramFolder folder(true);
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    for (const QPalette& palette : {fusion->standardPalette(), QPalette(QColor(0x35, 0x35, 0x35))}) {
        QApplication::setPalette(palette);
        Form4 form;
        const QPalette shown = child<QLabel>(form, "Label6")->palette();
        const QColor window = shown.color(QPalette::Window);
        const double warning = Contrast(shown.color(QPalette::WindowText), window);
        // Readable, and still quieter than the ordinary text around it.
        QVERIFY2(warning >= 4.5, qPrintable(QString::number(warning)));
        QVERIFY(warning < Contrast(palette.color(QPalette::WindowText), window) * 0.8);
    }
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
