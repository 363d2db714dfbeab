#pragma once

#include <QString>

// The program's registry key read as the values both programs use, with the defaults a
// new key gets. The program and Permidor read and create the key only through it.
struct CRegistrySettings {
    quint32 externalPathEnable = 0;
    QString externalDataPath;
    // DatabaseServer: the libpq connection string of a PostgreSQL server that holds the
    // user database instead of the data folder's file; empty (or missing) for the file.
    QString databaseServer;

    // The longest ExternalDataPath either program reads.
    static constexpr int kMaxDataPathChars = 259;
    static constexpr int kMaxCommentChars = 511;
    static constexpr int kMaxServerChars = 1023;
    // Written as ExternalDataPath and Comment when the key is created.
    static QString PlaceholderDataPath() { return QStringLiteral("/net/server/share"); }
    static QString DefaultComment() {
        return QStringLiteral(
            "Set the path to the user2.db in ExternalDataPath. Enable the path with ExternalPathEnable=1");
    }

    // The data folder these values select: ExternalDataPath when enabled with exactly 1.
    bool UsesSharedFolder() const { return externalPathEnable == 1; }

    // Opens the key, creating it with its defaults when missing, and reads the values.
    // On a failure the values read so far stay, and problem holds what failed
    // ("Error Registry Write ExternalDataPath", "Error Registry Read Comment", ...) with
    // the errno value in error; a key that cannot be opened at all gives openFailed.
    static CRegistrySettings Read(QString* problem, int* error, bool* openFailed = nullptr);

    // DatabaseServer alone, without creating the key: empty when the key or the value is
    // missing or cannot be read.
    static QString ReadDatabaseServer();
    // Writes DatabaseServer (an empty text removes the value); false with the reason.
    static bool WriteDatabaseServer(const QString& conninfo, QString* problem);
};
