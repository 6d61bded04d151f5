// brisko-fetch [--timeout MILLISECONDS] ADDRESS: fetches the version file of the update check with a GET and
// writes its body to standard output, exit status 0. Any failure (no answer in time, an error status, a body
// larger than a version file can be, an address that is none) writes one line saying why to standard error,
// exit status 1; a wrong command line gives status 2. Brisko runs it beside its executable, so that the program
// itself links no network library; it needs no display.
#include "versionfile.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <memory>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace
{
constexpr int UsageStatus = 2;
constexpr int FailureStatus = 1;

int failWith(const QString& reason, int status = FailureStatus)
{
    // One line, whatever the reason's text holds.
    std::fprintf(stderr, "brisko-fetch: %s\n", reason.simplified().toLocal8Bit().constData());
    return status;
}

int usage()
{
    return failWith(QStringLiteral("usage: brisko-fetch [--timeout MILLISECONDS] ADDRESS"), UsageStatus);
}

bool writeAll(const QByteArray& body)
{
    return std::fwrite(body.constData(), 1, size_t(body.size()), stdout) == size_t(body.size())
        && std::fflush(stdout) == 0;
}
} // namespace

int main(int argc, char* argv[])
{
#ifdef Q_OS_LINUX
    // Ends with the program that asked, should that end first.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    int timeoutMs = VersionFile::FetchTimeoutMs;
    if (arguments.size() == 3 && arguments.first() == QLatin1String("--timeout")) {
        bool number = false;
        timeoutMs = arguments.at(1).toInt(&number);
        if (!number || timeoutMs <= 0) {
            return usage();
        }
        arguments = arguments.mid(2);
    }
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-'))) {
        return usage();
    }
    const QUrl url(arguments.first());
    if (!url.isValid() || url.isRelative()) {
        return failWith(QStringLiteral("not an address: %1").arg(arguments.first()));
    }

    QNetworkAccessManager manager;
    const std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
    QByteArray body;
    QString failure;
    QEventLoop loop;
    const auto fail = [&](const QString& reason) {
        if (failure.isEmpty()) {
            failure = reason;
        }
        reply->abort();
        loop.quit();
    };
    // Read as it arrives, so that a body larger than any version file is given up at once.
    const auto readBody = [&] {
        body += reply->read(VersionFile::MaxBodyBytes + 1 - body.size());
        if (body.size() > VersionFile::MaxBodyBytes) {
            fail(QStringLiteral("the answer is larger than %1 bytes").arg(VersionFile::MaxBodyBytes));
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, readBody);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(
        &deadline, &QTimer::timeout, &loop, [&] { fail(QStringLiteral("no answer within %1 ms").arg(timeoutMs)); });
    deadline.start(timeoutMs);
    if (!reply->isFinished()) {
        loop.exec();
    }
    if (failure.isEmpty()) {
        if (reply->error() != QNetworkReply::NoError) {
            failure = reply->errorString();
        } else {
            readBody();
        }
    }
    if (!failure.isEmpty()) {
        return failWith(failure);
    }
    if (!writeAll(body)) {
        return failWith(QStringLiteral("cannot write the answer"));
    }
    return 0;
}
