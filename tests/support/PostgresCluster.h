// PostgresCluster: a private PostgreSQL 15 cluster for one test, in a temporary folder, on a
// free loopback port, with trust authentication; stopped and removed with the object.
#pragma once

#include <QString>
#include <QTemporaryDir>

class PostgresCluster
{
public:
    PostgresCluster();
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster &) = delete;
    PostgresCluster &operator=(const PostgresCluster &) = delete;

    // initdb and pg_ctl start; false, with the reason in error(), when the cluster cannot come
    // up (e.g. PostgreSQL not installed), which the tests treat as a failure.
    bool start();
    [[nodiscard]] QString error() const { return m_error; }
    // The server stopped, ending every client's connection, and started again on its port.
    bool stop();
    bool startAgain();
    [[nodiscard]] quint16 port() const { return m_port; }

    // A new, empty database; its postgresql:// address for peregrix-server.
    QString createDatabase(const QString &name);
    // Everything in the database dropped, as if just created.
    void emptyDatabase(const QString &name);

private:
    void launch();
    bool run(const QString &program, const QStringList &arguments, int timeoutMs = 60'000);
    bool execute(const QString &database, const QString &sql);

    QTemporaryDir m_dir;
    QString m_error;
    quint16 m_port = 0;
    bool m_running = false;
};
