#include "updatedialog.h"

#include "clientconfig.h"
#include "versionfile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace
{
#ifdef Q_OS_WIN
const char* const UpdaterName = "Update.exe";
#else
const char* const UpdaterName = "Update";
#endif

const char* const CheckingText = "正在检测更新,请稍候.....";
const char* const OfferText = "发现新版本,是否进行更新?";
const char* const CurrentText = "当前已是最新版,无需更新!";
const char* const UpdaterFailedText = "无法启动更新程序,\n请下载安装新版本。";
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
    const QString dir = m_updaterDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_updaterDir;
    return QDir(dir).filePath(QString::fromLatin1(UpdaterName));
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
    QNetworkAccessManager manager;
    const std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(url))));
    QByteArray body;
    bool tooLarge = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);

    connect(&manager, &QNetworkAccessManager::finished, &loop, &QEventLoop::quit);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Read as it arrives, so that a body larger than any version file is given up at once.
    connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        if (body.size() > VersionFile::MaxBodyBytes) {
            tooLarge = true;
            loop.quit();
        }
    });

    if (!reply->isFinished() && !m_closed) {
        deadline.start(m_timeoutMs);
        QEventLoop* const outer = m_waiting;
        m_waiting = &loop;
        loop.exec();
        m_waiting = outer;
    }
    const bool finished = reply->isFinished() && !tooLarge;
    reply->disconnect(&loop);
    if (!finished) {
        reply->abort();
        return QString();
    }
    body += reply->readAll();
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
