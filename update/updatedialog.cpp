#include "updatedialog.h"

#include "clientconfig.h"
#include "versionfile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

namespace
{
#ifdef Q_OS_WIN
const char* const UpdaterName = "Update.exe";
const char* const FetcherName = "brisko-fetch.exe";
#else
const char* const UpdaterName = "Update";
const char* const FetcherName = "brisko-fetch";
#endif
/// The most of the helper's reason for a failure that is kept for the log.
constexpr qint64 MaxReasonBytes = 1024;

const char* const CheckingText = "正在检测更新,请稍候.....";
const char* const OfferText = "发现新版本,是否进行更新?";
const char* const CurrentText = "当前已是最新版,无需更新!";
const char* const UpdaterFailedText = "无法启动更新程序,\n请下载安装新版本。";

/// The program `name` in `dirOverride`, or beside this executable when no folder is set.
QString besideExecutable(const QString& dirOverride, const char* name)
{
    const QString dir = dirOverride.isEmpty() ? QCoreApplication::applicationDirPath() : dirOverride;
    return QDir(dir).filePath(QString::fromLatin1(name));
}
} // namespace

UpdateDialog::UpdateDialog(QWidget* parent)
    : BaseWindow(parent, false, QColor(250, 250, 250, 255))
{
    setupUi();
    BaseWindow::setWindowTitle(QStringLiteral("软件更新"));
    btnUpdate->hide();
    btnCancel->hide();
    btnOk->setObjectName(QStringLiteral("btnNormal"));
    btnUpdate->setObjectName(QStringLiteral("btnNormal"));
    btnCancel->setObjectName(QStringLiteral("btnNormal"));
    connect(btnOk, &QPushButton::clicked, this, &UpdateDialog::onBtnOk);
    connect(btnUpdate, &QPushButton::clicked, this, &UpdateDialog::onBtnUpdate);
    connect(btnCancel, &QPushButton::clicked, this, &UpdateDialog::onBtnCancel);
    // Closing the dialog (its buttons, the title bar, Escape) while the version file downloads gives the check up.
    connect(this, &QDialog::finished, this, &UpdateDialog::giveUp);
}

UpdateDialog::~UpdateDialog() = default;

void UpdateDialog::setupUi()
{
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("UpdateDialog"));
    }
    resize(231, 142);

    labelState = new QLabel(this);
    labelState->setObjectName(QStringLiteral("labelState"));
    labelState->setGeometry(QRect(42, 60, 161, 21));

    const auto makeButton = [this](const char* name, const QRect& geometry) {
        auto* button = new QPushButton(this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(geometry);
        return button;
    };
    btnOk = makeButton("btnOk", QRect(80, 110, 64, 25));
    btnUpdate = makeButton("btnUpdate", QRect(50, 100, 64, 25));
    btnCancel = makeButton("btnCancel", QRect(130, 100, 64, 25));

    QWidget::setWindowTitle(QStringLiteral("UpdateDialog"));
    labelState->setText(QString::fromUtf8(CheckingText));
    btnOk->setText(QStringLiteral("确定"));
    btnUpdate->setText(QStringLiteral("更新"));
    btnCancel->setText(QStringLiteral("取消"));
}

void UpdateDialog::setTimeout(int milliseconds)
{
    m_timeoutMs = milliseconds;
}

int UpdateDialog::timeout() const
{
    return m_timeoutMs;
}

void UpdateDialog::setUpdaterDir(const QString& dir)
{
    m_updaterDir = dir;
}

QString UpdateDialog::updaterPath() const
{
    return besideExecutable(m_updaterDir, UpdaterName);
}

void UpdateDialog::setFetcherDir(const QString& dir)
{
    m_fetcherDir = dir;
}

QString UpdateDialog::fetcherPath() const
{
    return besideExecutable(m_fetcherDir, FetcherName);
}

void UpdateDialog::onBtnOk()
{
    onCloseWin();
}

void UpdateDialog::onBtnCancel()
{
    onCloseWin();
}

void UpdateDialog::onBtnUpdate()
{
    const QFileInfo updater(updaterPath());
    const bool started = updater.isFile() && updater.isExecutable()
        && QProcess::startDetached(updater.absoluteFilePath(), {}, updater.absolutePath());
    if (!started) {
        // The program is not given up for an update that cannot happen: say so and stay.
        qWarning("Could not start the updater %s", qPrintable(updater.absoluteFilePath()));
        labelState->setGeometry(QRect(20, 46, 191, 44));
        labelState->setAlignment(Qt::AlignCenter);
        showState(QString::fromUtf8(UpdaterFailedText), false);
        return;
    }
    close();
    QCoreApplication::quit();
}

QString UpdateDialog::fetchText(QString url)
{
    BusyGuard guard(this);
    if (m_closed) {
        return QString();
    }
    // The download runs in the helper beside the executable, so that this program links no network library.
    // It gives up on its own after the time-out or past the size limit; this side holds it to both as well.
    // A helper that is missing or cannot run fails to start, which is reported below.
    QProcess fetcher;
    fetcher.setProgram(fetcherPath());
    fetcher.setArguments({ QStringLiteral("--timeout"), QString::number(qMax(1, m_timeoutMs)), url });
    fetcher.setStandardInputFile(QProcess::nullDevice());
    QByteArray body;
    QByteArray reason;
    bool tooLarge = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);

    connect(&fetcher, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&fetcher, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            loop.quit();
        }
    });
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto readBody = [&] {
        body += fetcher.readAllStandardOutput();
        if (body.size() > VersionFile::MaxBodyBytes) {
            tooLarge = true;
            loop.quit();
        }
    };
    connect(&fetcher, &QProcess::readyReadStandardOutput, &loop, readBody);
    const auto readReason = [&] { reason += fetcher.readAllStandardError().left(MaxReasonBytes - reason.size()); };
    connect(&fetcher, &QProcess::readyReadStandardError, &loop, readReason);

    deadline.start(m_timeoutMs);
    fetcher.start();
    if (fetcher.state() != QProcess::NotRunning && !m_closed) {
        QEventLoop* const outer = m_waiting;
        m_waiting = &loop;
        loop.exec();
        m_waiting = outer;
    }
    fetcher.disconnect(&loop);
    if (fetcher.state() != QProcess::NotRunning) {
        // Closed, timed out or too large: the helper is ended by its own handle.
        fetcher.kill();
        fetcher.waitForFinished();
        if (!m_closed) {
            qWarning("The update check gave up on %s: %s",
                     qUtf8Printable(url),
                     tooLarge ? "the answer is larger than a version file" : "no answer in time");
        }
        return QString();
    }
    if (fetcher.error() == QProcess::FailedToStart) {
        qWarning("The update check cannot run %s: %s",
                 qUtf8Printable(fetcher.program()),
                 qUtf8Printable(fetcher.errorString()));
        return QString();
    }
    readBody();
    readReason();
    if (fetcher.exitStatus() != QProcess::NormalExit || fetcher.exitCode() != 0 || tooLarge) {
        if (reason.trimmed().isEmpty()) {
            reason = fetcher.exitStatus() != QProcess::NormalExit ? QByteArray("the helper crashed")
                : tooLarge ? QByteArray("the answer is larger than a version file")
                           : "the helper ended with status " + QByteArray::number(fetcher.exitCode());
        }
        qWarning("The update check could not fetch %s (%s)", qUtf8Printable(url), reason.trimmed().constData());
        return QString();
    }
    if (m_closed) {
        return QString();
    }
    return VersionFile::decodeBody(body);
}

void UpdateDialog::closeEvent(QCloseEvent* event)
{
    BaseWindow::closeEvent(event);
    if (event->isAccepted()) {
        giveUp();
    }
}

void UpdateDialog::giveUp()
{
    m_closed = true;
    if (m_waiting) {
        m_waiting->quit();
    }
}

void UpdateDialog::check()
{
    BusyGuard guard(this);
    const ClientConfig& config = ClientConfig::instance();
    const QString body = fetchText(QStringLiteral("%1/Server.htm").arg(config.getUpdateUrl()));
    if (m_closed) {
        return; // the person closed the dialog while it waited
    }
    const VersionFile::Versions versions = VersionFile::parseVersions(body);
    const int installed = str_verison_to_int(config.getVersion().toUtf8().constData());
    const int minimum = str_verison_to_int(versions.minVersion.toUtf8().constData());
    const int maximum = str_verison_to_int(versions.maxVersion.toUtf8().constData());

    if (minimum == 0 || maximum == 0) {
        showState(QString::fromUtf8(CurrentText), false);
    } else if (installed < minimum) {
        onBtnUpdate();
    } else if (installed != maximum) {
        showState(QString::fromUtf8(OfferText), true);
    } else {
        showState(QString::fromUtf8(CurrentText), false);
    }
}

int UpdateDialog::str_verison_to_int(const char* sVersion)
{
    return VersionFile::versionToInt(sVersion);
}

void UpdateDialog::showState(const QString& text, bool offer)
{
    labelState->setText(text);
    btnOk->setVisible(!offer);
    btnUpdate->setVisible(offer);
    btnCancel->setVisible(offer);
    // Return takes the button shown first (the update when one is offered), Tab walks the others.
    QPushButton* first = offer ? btnUpdate : btnOk;
    first->setDefault(true);
    first->setFocus();
}
