#include "testsupport.h"

void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* TopWindow(const char* name) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String(name))
            return window;
    qFatal("no window %s", name);
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

QString Shows(const QWidget* c) {
    QStringList items;
    if (const auto* s = qobject_cast<const QSlider*>(c))
        return QString::asprintf("%d of %d to %d, steps %d and %d", s->value(), s->minimum(), s->maximum(),
                                 s->singleStep(), s->pageStep());
    if (const auto* menu = qobject_cast<const QMenu*>(c)) {
        for (const QAction* a : menu->actions())
            items << a->text() + (a->shortcut().isEmpty() ? "" : ' ' + a->shortcut().toString()) +
                         (a->isEnabled() ? "" : " disabled");
    } else if (const auto* list = qobject_cast<const QListWidget*>(c)) {
        for (const QListWidgetItem* item : list->findItems(QString(), Qt::MatchContains))
            items << item->text() + (item->isSelected() ? "*" : "");
    } else if (const auto* tree = qobject_cast<const QTreeView*>(c)) {
        for (int i = 0; i < tree->model()->columnCount(); ++i)
            items << tree->model()->headerData(i, Qt::Horizontal).toString();
    } else if (const auto* combo = qobject_cast<const QComboBox*>(c)) {
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return combo->currentText() + " of " + items.join(u'/');
    } else if (const auto* label = qobject_cast<const QLabel*>(c); label && !label->pixmap().isNull()) {
        return QStringLiteral("a picture");
    } else {
        for (const char* property : {"text", "title", "plainText"})
            items << c->property(property).toString();
        return items.join(QString());
    }
    return items.join(u'|');
}

// How a control is set up, where users meet it and Qt's own setup would differ.
static QString Traits(const QWidget* c) {
    QString t;
    if (const auto* l = qobject_cast<const QLabel*>(c))
        t += QString(l->wordWrap() ? " wraps" : "") + (l->alignment() & Qt::AlignTop ? " top" : "") +
             (l->textInteractionFlags() & Qt::TextSelectableByMouse ? " selectable" : "") +
             (l->frameShape() && l->frameShadow() == QFrame::Sunken ? " sunken" : "") + // a frame drawn sunken
             (l->textFormat() == Qt::PlainText || !l->pixmap().isNull() ? "" : " markup read") +
             (l->buddy() ? " for " + l->buddy()->objectName() : "");
    if (const auto* e = qobject_cast<const QPlainTextEdit*>(c))
        t += QString(e->isUndoRedoEnabled() ? "" : " no undo") + (e->tabChangesFocus() ? " tab moves on" : "") +
             (QFontInfo(e->font()).fixedPitch() ? " fixed pitch" : "") +
             (e->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ? " scroll bar always" : "");
    if (const auto* v = qobject_cast<const QTreeView*>(c))
        t += QString(v->allColumnsShowFocus() ? " whole-row focus" : "") + (v->rootIsDecorated() ? "" : " flat") +
             (v->editTriggers() ? "" : " no editing in place") +
             (v->header()->sectionsMovable() ? "" : " fixed columns");
    if (const auto* b = qobject_cast<const QComboBox*>(c); b && b->isEditable())
        t += b->insertPolicy() == QComboBox::NoInsert ? " editable, adds nothing" : " editable";
    return t;
}

QString Accessible(const QObject* object, QAccessible::Text text) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(const_cast<QObject*>(object));
    return iface ? iface->text(text) : QString();
}

QStringList Looks(const QWidget& window) {
    const Qt::WindowFlags flags = window.windowFlags();
    QStringList looks{'[' + window.windowTitle() + ']' + (window.windowType() == Qt::Tool ? " tool" : "") +
                      (flags & Qt::WindowMinimizeButtonHint ? " minimize" : "") +
                      (flags & Qt::WindowMaximizeButtonHint ? " maximize" : "")};
    QWidgetList controls; // those that take the focus in their tab order, then the others
    auto named = [](const QObject* c) { return !c->objectName().isEmpty() && !c->objectName().startsWith("qt_"); };
    for (QWidget* next = window.nextInFocusChain(); next != &window; next = next->nextInFocusChain())
        if (next->focusPolicy() & Qt::TabFocus && named(next))
            controls << next;
    for (QWidget* control : window.findChildren<QWidget*>())
        if (!controls.contains(control) && named(control) && control->metaObject() != &QWidget::staticMetaObject)
            controls << control;
    for (const QWidget* c : std::as_const(controls)) {
        const auto* button = qobject_cast<const QPushButton*>(c);
        looks << c->objectName() + " [" + Shows(c) + ']' +
                     (c->isHidden() && !qobject_cast<const QMenu*>(c) ? " hidden" : "") +
                     (c->isEnabled() ? "" : " disabled") + (window.focusWidget() == c ? " focus" : "") +
                     (button && button->isDefault() ? " default" : "") +
                     (qobject_cast<const QStatusBar*>(c) && c->findChild<QSizeGrip*>() ? " grip" : "") +
                     (c->font().bold() ? " bold" : "") + Traits(c);
        const QString heard = Accessible(c); // what a reader calls a control the keyboard reaches, if not what it shows
        looks.last() += c->focusPolicy() & Qt::TabFocus && heard != Shows(c) ? " named " + heard : QString();
    }
    for (const QTimer* timer : window.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        looks << timer->objectName() + QStringLiteral(" every %1 ms, ").arg(timer->interval()) +
                     (timer->timerType() == Qt::PreciseTimer ? "precise, " : "") +
                     (timer->isActive() ? "running" : "stopped");
    return looks;
}
