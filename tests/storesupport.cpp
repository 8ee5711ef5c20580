#include "storesupport.h"
#include "settingsfile.h"

#include <cstdio>

ProgramFolder::ProgramFolder(bool withDatabase) {
    writeFile(QStringLiteral("portable"), QByteArray());
    if (withDatabase)
        copyBundledDatabase();
    SetAppPathForTesting(m_dir.path());
}

ProgramFolder::~ProgramFolder() {
    SetAppPathForTesting(QString());
    for (const QString& folder : {path(), home(), home() + QStringLiteral("/data/dahdit")})
        QFile(folder).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ProgramFolder::copyBundledDatabase(const QString& name) const {
    const QString target = file(name);
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(DAHDIT_BUNDLED_DB), target))
        qFatal("cannot copy the bundled database");
    QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

void ProgramFolder::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile out(file(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write a test file");
}

QByteArray ProgramFolder::readFile(const QString& name) const {
    QFile in(file(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

bool ListEntries(CodeTableStore& store, const QString& table, QVector<CodeTableEntry>* rows, StoreError* error) {
    rows->clear();
    return store.ListEntries(table, CodeTableStore::ListOrder::ById, 0, INT_MAX, rows, error) || (rows->clear(), false);
}

bool ExecSql(const QString& dbPath, const QString& sql) {
    SqliteConnection db;
    return OpenSqlite(dbPath.toUtf8(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &db) == SQLITE_OK &&
           sqlite3_exec(db.get(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

void MakeCodeTable(const QString& dbPath, const QString& table, const CodeRows& rows) {
    const QString name = u'"' + QString(table).replace(u'"', QLatin1String("\"\"")) + u'"';
    QString sql = QStringLiteral("CREATE TABLE %1 (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT);").arg(name);
    auto quoted = [](QString text) { return text.isNull() ? "NULL" : u'\'' + text.replace(u'\'', "''") + u'\''; };
    for (const auto& [ms, ts] : rows)
        sql += QStringLiteral("INSERT INTO %1 (MS, TS) VALUES (%2, %3);").arg(name, quoted(ms), quoted(ts));
    if (!ExecSql(dbPath, sql))
        qFatal("cannot make a code table");
}

QStringList RunTwins(const QStringList& roles) {
    std::vector<std::unique_ptr<QProcess>> twins;
    for (const QString& role : roles) {
        const ScopedEnv given("DAHDIT_TWIN", role.toUtf8()); // read by the copy as it starts
        twins.emplace_back(new QProcess)->start(QCoreApplication::applicationFilePath(), {});
    }
    QStringList said;
    for (const auto& twin : twins)
        said << (twin->waitForFinished() ? QString::fromLocal8Bit(twin->readAllStandardOutput()).trimmed() : "no end");
    return said;
}

void GuardedTest::initMain() {
    GuardSqlite();
    const QStringList role = qEnvironmentVariable("DAHDIT_TWIN").split(u'|');
    if (role[0] == "start") {
        SetAppPathForTesting(role[1]);
        ChooseDatabase().useCopy(DatabaseChoice::Refresh::IfUnchanged);
    }
    for (int round = 0; role[0] == "write" && round < TwinRounds; ++round)
        if (QString cause, key = role[2] + QString::number(round);
            !SettingsFile::write(role[1], "main", {{key, key}}, &cause))
            std::puts(qPrintable(cause));
    if (!role[0].isEmpty()) // a copy that RunTwins started ends here
        std::exit(0);
}
