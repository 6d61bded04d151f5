#include "benchutil.h"

#include "icondatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace Bench
{
std::vector<Entry>& suites()
{
    static std::vector<Entry> all;
    return all;
}

Registrar::Registrar(const char* name, const char* summary, Suite suite)
{
    suites().push_back({ QString::fromUtf8(name), QString::fromUtf8(summary), std::move(suite) });
}

double median(std::vector<double> samples)
{
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

void report(const QString& name, double value, const QString& unit)
{
    std::printf("%s: %.3f %s\n", qPrintable(name), value, qPrintable(unit));
    std::fflush(stdout);
}

double residentMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0;
}

double nowMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid()) {
        timer.start();
    }
    return timer.nsecsElapsed() / 1e6;
}

bool enterRuntimeDir()
{
    if (!QDir::setCurrent(QStringLiteral(BRISKO_RUNTIME_DIR))) {
        std::fprintf(stderr, "no run-time folder %s\n", BRISKO_RUNTIME_DIR);
        return false;
    }
    return true;
}

bool emptyCatalogue(const QString& dbPath)
{
    IconDatabase& db = IconDatabase::instance();
    QDir().mkpath(QFileInfo(dbPath).absolutePath());
    QFile::remove(dbPath);
    db.openDatabaseAt(dbPath, QDir::current().absoluteFilePath(QStringLiteral("data.db")));
    if (!db.isUsable()) {
        std::fprintf(stderr, "catalogue not usable: %s\n", qPrintable(db.errorText()));
        return false;
    }
    db.execSql(QStringLiteral("DELETE FROM icon_item"));
    db.execSql(QStringLiteral("DELETE FROM team"));
    return true;
}

Display::Display()
    : m_name(qEnvironmentVariable("DISPLAY"))
{
    if (!m_name.isEmpty()) {
        return;
    }
    m_xvfb = new QProcess;
    m_xvfb->setProgram(QStringLiteral("Xvfb"));
    // -noreset: the server would otherwise reset whenever its last client leaves, and a program started during
    // that reset cannot connect.
    m_xvfb->setArguments({ QStringLiteral("-noreset"),
                           QStringLiteral("-displayfd"),
                           QStringLiteral("1"),
                           QStringLiteral("-screen"),
                           QStringLiteral("0"),
                           QStringLiteral("1280x800x24"),
                           QStringLiteral("-nolisten"),
                           QStringLiteral("tcp") });
    m_xvfb->start();
    if (!m_xvfb->waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return;
    }
    QByteArray out;
    while (!out.contains('\n') && m_xvfb->waitForReadyRead(10000)) {
        out += m_xvfb->readAllStandardOutput();
    }
    if (!out.contains('\n')) {
        std::fprintf(stderr, "Xvfb gave no display number\n");
        return;
    }
    m_name = QStringLiteral(":") + QString::fromLatin1(out.trimmed());
}

Display::~Display()
{
    if (m_xvfb && m_xvfb->state() != QProcess::NotRunning) {
        m_xvfb->terminate(); // the Xvfb started here, by its pid
        if (!m_xvfb->waitForFinished(3000)) {
            m_xvfb->kill();
            m_xvfb->waitForFinished();
        }
    }
    delete m_xvfb;
}

int runChild(const QString& suite, const char* marker, const QString& mode, const QString& home, const QString& display)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("XAUTHORITY")) && env.contains(QStringLiteral("HOME"))) {
        env.insert(QStringLiteral("XAUTHORITY"), env.value(QStringLiteral("HOME")) + QStringLiteral("/.Xauthority"));
    }
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QString::fromLatin1(marker), mode);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), { suite });
    if (!child.waitForStarted(5000) || !child.waitForFinished(30 * 60 * 1000)) {
        child.kill();
        child.waitForFinished();
        return 1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}
} // namespace Bench
