#include "storewords.h"

#include "apppath.h"
#include "codetablestore.h"
#include "module1.h"

#include <QDir>
#include <QRegularExpression>

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

const QString kLanguageMenu = QStringLiteral("Tools, Language");

// In the order of StoreError::Kind: what happened, {file}, {table}, {detail} and {cause} standing
// for the facts, and what the user can do about it, where the kind tells.
const struct {
    const char* what;
    const char* todo;
} kWords[] = {
    {"The code table database is not open.", ""},
    {"Cannot open the code table database {file}: {cause}", ""},
    {"The code table \"{table}\" does not exist in {file}.", " Choose another table with Tools, Language."},
    {"\"{table}\" in {file} is a view, not a code table: Dahdit reads codes only from tables.",
     " Choose another table with Tools, Language."},
    {"The code table \"{table}\" in {file} has no field {detail}.", ""},
    {"The code table database {file} is too slow to read: one query took longer than {detail} s, so Dahdit stopped "
     "using the file. The disk or network share it is on may be slow or not answering, or the file may be made to "
     "keep programs busy.",
     " Choose another database with Tools, Language."},
    {"The code table database {file} is locked by another program.", " Close that program or try again in a moment."},
    {"The code table database {file} is read-only, so changes cannot be saved.",
     " Make the file and its folder writable and try again."},
    {"The code table database {file} was moved, renamed or deleted while it was open, so changes cannot be saved.",
     " Put the file back, then close the editor and open it again."},
    {"The code table database {file} was replaced by another file while it was open, so changes cannot be saved.",
     " Close the editor and open it again."},
    {"The code tables in {file} were replaced by another Dahdit started meanwhile, so changes cannot be saved.",
     " Close the editor and open it again."},
    {"The entry with ID {detail} no longer exists in the code table \"{table}\"; it was removed by other means.",
     " Press Cancel to reload the list."},
    {"\"{detail}\" is not the ID of an entry.", ""},
    {"Cannot {detail} in the code table database {file}: {cause}", ""},
};
static_assert(std::size(kWords) == size_t(StoreError::Kind::Failed) + 1);

// What happened, each fact put in its place in one pass, so that no fact is taken for a place.
QString what(const StoreError& error) {
    static const QRegularExpression place(QStringLiteral("\\{(file|table|detail|cause)\\}"));
    static const QStringList names = {QStringLiteral("file"), QStringLiteral("table"), QStringLiteral("detail"),
                                      QStringLiteral("cause")};
    const QString facts[] = {native(error.file), error.table, error.detail, error.cause};
    const QString text = QString::fromUtf8(kWords[int(error.kind)].what);
    QString filled;
    qsizetype done = 0;
    for (const QRegularExpressionMatch& match : place.globalMatch(text)) {
        filled += text.mid(done, match.capturedStart() - done) + facts[names.indexOf(match.captured(1))];
        done = match.capturedEnd();
    }
    return filled + text.mid(done);
}

QString todo(const StoreError& error) {
    return QLatin1String(kWords[int(error.kind)].todo);
}

} // namespace

QString StoreMessage(const StoreError& error) {
    return what(error) + todo(error);
}

// The text names the Language menu itself, so advice that names it too is left out.
QString EditorUnavailable(const StoreError& error) {
    return what(error) + (todo(error).contains(kLanguageMenu) ? QString() : todo(error)) +
           QStringLiteral("\n\nNo entries can be shown or changed. Put this right (%1 chooses the database and the "
                          "table), then close this window and open the editor again.")
               .arg(kLanguageMenu);
}

QString CopyNotMade(const QString& copy, const QString& cause) {
    return QStringLiteral("Changes to the code tables cannot be kept: Dahdit cannot make your own copy of them, %1: %2")
        .arg(native(copy), cause);
}

QString SettingsNotSaved(const QString& cause) {
    return QStringLiteral("Cannot save the settings file %1: %2").arg(native(Module1::SettingsPath()), cause);
}

QString SlidersNotKept(const QString& cause) {
    return QStringLiteral("Slider positions cannot be kept: %1: %2").arg(native(Module1::SettingsPath()), cause);
}

QString SettingsNotKept(const QString& file, const QString& cause) {
    if (file.isEmpty())
        return QStringLiteral("Dahdit cannot keep its settings: %1\n\nChoices made now (the slider positions, the "
                              "language) are lost when Dahdit ends. Make the folder writable, then start Dahdit again.")
            .arg(cause);
    return QStringLiteral("Cannot use the settings file %1: %2\n\nUntil then Dahdit starts with its built-in settings "
                          "and leaves the file as it is, so choices made now are not kept.")
        .arg(native(file), cause);
}

QString SettingsKeptElsewhere() {
    return QStringLiteral("Dahdit's folder %1 cannot be written, so its settings.ini is read but not changed: what you "
                          "chose there still holds. Changes you make from now on are kept in %2.")
        .arg(native(AppFolders().program), native(Module1::SettingsPath()));
}
