#include "storewords.h"

#include "apppath.h"
#include "codetablestore.h"
#include "module1.h"

#include <QDir>

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

const QString kLanguageMenu = QStringLiteral("Tools, Language");

// What the user can do, by the kind; none where the message says it all.
QString advice(StoreError::Kind kind) {
    using Kind = StoreError::Kind;
    switch (kind) {
    case Kind::NoTable:
    case Kind::IsView:
        return QStringLiteral(" Choose another table with %1.").arg(kLanguageMenu);
    case Kind::TooSlow:
        return QStringLiteral(" Choose another database with %1.").arg(kLanguageMenu);
    case Kind::Locked:
        return QStringLiteral(" Close that program or try again in a moment.");
    case Kind::ReadOnly:
        return QStringLiteral(" Make the file and its folder writable and try again.");
    case Kind::Moved:
        return QStringLiteral(" Put the file back, then close the editor and open it again.");
    case Kind::Replaced:
    case Kind::ReplacedByDahdit:
        return QStringLiteral(" Close the editor and open it again.");
    case Kind::EntryGone:
        return QStringLiteral(" Press Cancel to reload the list.");
    default:
        return QString();
    }
}

QString facts(const StoreError& error) {
    using Kind = StoreError::Kind;
    const QString file = native(error.file);
    switch (error.kind) {
    case Kind::NotOpen:
        return QStringLiteral("The code table database is not open.");
    case Kind::CannotOpen:
        return QStringLiteral("Cannot open the code table database %1: %2").arg(file, error.cause);
    case Kind::NoTable:
        return QStringLiteral("The code table \"%1\" does not exist in %2.").arg(error.table, file);
    case Kind::IsView:
        return QStringLiteral("\"%1\" in %2 is a view, not a code table: Dahdit reads codes only from tables.")
            .arg(error.table, file);
    case Kind::NoField:
        return QStringLiteral("The code table \"%1\" in %2 has no field %3.").arg(error.table, file, error.detail);
    case Kind::TooSlow:
        return QStringLiteral("The code table database %1 is too slow to read: one query took longer than %2 s, so "
                              "Dahdit stopped using the file. The disk or network share it is on may be slow or not "
                              "answering, or the file may be made to keep programs busy.")
            .arg(file, error.detail);
    case Kind::Locked:
        return QStringLiteral("The code table database %1 is locked by another program.").arg(file);
    case Kind::ReadOnly:
        return QStringLiteral("The code table database %1 is read-only, so changes cannot be saved.").arg(file);
    case Kind::Moved:
        return QStringLiteral("The code table database %1 was moved, renamed or deleted while it was open, so changes "
                              "cannot be saved.")
            .arg(file);
    case Kind::Replaced:
        return QStringLiteral("The code table database %1 was replaced by another file while it was open, so changes "
                              "cannot be saved.")
            .arg(file);
    case Kind::ReplacedByDahdit:
        return QStringLiteral("The code tables in %1 were replaced by another Dahdit started meanwhile, so changes "
                              "cannot be saved.")
            .arg(file);
    case Kind::EntryGone:
        return QStringLiteral("The entry with ID %1 no longer exists in the code table \"%2\"; it was removed by other "
                              "means.")
            .arg(error.detail, error.table);
    case Kind::NotAnId:
        return QStringLiteral("\"%1\" is not the ID of an entry.").arg(error.detail);
    case Kind::Failed:
        break;
    }
    return QStringLiteral("Cannot %1 in the code table database %2: %3").arg(error.detail, file, error.cause);
}

} // namespace

QString StoreMessage(const StoreError& error) {
    return facts(error) + advice(error.kind);
}

// The text names the Language menu itself, so advice that names it too is left out.
QString EditorUnavailable(const StoreError& error) {
    const QString what = advice(error.kind);
    return facts(error) + (what.contains(kLanguageMenu) ? QString() : what) +
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
