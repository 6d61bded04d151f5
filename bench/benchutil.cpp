#include "benchutil.h"

#include "icondatabase.h"
#include "qqdialog.h"
#include "qqtree.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>

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

double residentMb(qint64 pid)
{
    QFile f(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
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

double clockMs(clockid_t clock)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFirstPaint(QQDialog* window)
{
    if (!window->hasPainted()) {
        QEventLoop loop;
        QObject::connect(window, &QQDialog::firstPainted, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return window->hasPainted();
}

namespace
{
const char* const EnglishWords[]
    = { "report",   "budget",   "meeting",  "agenda",    "quarterly", "campaign", "design",    "camera",    "playlist",
        "trailer",  "backup",   "database", "dashboard", "config",    "package",  "install",   "changelog", "warranty",
        "abstract", "draft",    "annual",   "analysis",  "schedule",  "travel",   "family",    "holiday",   "recipe",
        "manual",   "tutorial", "letter",   "salary",    "contract",  "plan",     "data",      "archive",   "hardware",
        "network",  "patch",    "firmware", "player",    "manager",   "gallery",  "navigator", "terminal",  "calendar",
        "contacts", "mail",     "chat",     "game",      "office",    "paint",    "studio",    "java",      "release",
        "sample",   "trace",    "toolbar",  "bash",      "library",   "plugin",   "framework", "monitor",   "shell",
        "account",  "avatar",   "settings", "transfer",  "upload",    "cloud",    "share",     "scanner",   "scan",
        "lecture",  "thesis",   "banner",   "canvas",    "receipt",   "tax",      "bank",      "insurance", "pharmacy",
        "academy",  "grades",   "garden",   "pantry",    "wedding",   "birthday", "festival" };
const char* const Extensions[] = { "pdf", "docx", "xlsx", "pptx", "txt", "md",  "png", "jpg",    "mp3",     "mp4",
                                   "zip", "conf", "ini",  "json", "xml", "cpp", "py",  "tar.gz", "desktop", "odt" };
const char* const ChineseWords[]
    = { "文档", "项目", "计划", "报告", "会议",   "纪要",       "照片",   "音乐", "视频",   "备份", "设置",
        "工具", "合同", "发票", "简历", "微信",   "网易云音乐", "浏览器", "终端", "编辑器", "日程", "旅行",
        "家庭", "菜谱", "手册", "指南", "信件",   "总结",       "草稿",   "终稿", "审阅",   "数据", "归档",
        "系统", "网络", "更新", "驱动", "播放器", "我的文档",   "工作",   "学习", "资料",   "图片", "下载",
        "桌面", "账单", "课程", "论文", "银行",   "重庆",       "长城",   "快乐", "行程",   "重要", "音乐会" };

template <size_t N>
QString pick(QRandomGenerator& rng, const char* const (&list)[N])
{
    return QString::fromUtf8(list[rng.bounded(int(N))]);
}

QString capitalised(const QString& word)
{
    return word.left(1).toUpper() + word.mid(1);
}
} // namespace

QString itemName(QRandomGenerator& rng)
{
    const int kind = rng.bounded(100);
    const QString separators[] = { QStringLiteral("_"), QStringLiteral("-"), QStringLiteral(" ") };
    if (kind < 30) {
        QString name = pick(rng, EnglishWords) + separators[rng.bounded(3)] + pick(rng, EnglishWords);
        if (rng.bounded(2)) {
            name += separators[rng.bounded(3)] + QString::number(rng.bounded(2000, 2026));
        }
        return name + QLatin1Char('.') + pick(rng, Extensions);
    }
    if (kind < 45) {
        return capitalised(pick(rng, EnglishWords)) + QLatin1Char(' ') + capitalised(pick(rng, EnglishWords));
    }
    if (kind < 85) {
        QString name = pick(rng, ChineseWords) + pick(rng, ChineseWords);
        if (rng.bounded(3) == 0) {
            name += QString::number(rng.bounded(1, 100));
        }
        return name;
    }
    if (kind < 95) {
        return pick(rng, ChineseWords) + QLatin1Char(' ') + pick(rng, EnglishWords) + QLatin1Char('.')
            + pick(rng, Extensions);
    }
    QStringList words;
    const int count = rng.bounded(8, 16);
    for (int i = 0; i < count; ++i) {
        words << (rng.bounded(4) ? pick(rng, EnglishWords) : pick(rng, ChineseWords));
    }
    return words.join(QLatin1Char(' ')) + QLatin1Char('.') + pick(rng, Extensions);
}

PaintWatch::PaintWatch(QWidget* window, QWidget* part)
    : m_window(window)
    , m_part(part)
{
    window->installEventFilter(this);
    part->installEventFilter(this);
}

bool PaintWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_part && event->type() == QEvent::Paint) {
        m_partPainted = true;
    } else if (watched == m_window && event->type() == QEvent::UpdateRequest) {
        // The window paints its dirty widgets and flushes them to the screen while handling this event.
        m_partPainted = false;
        watched->event(event);
        if (m_partPainted) {
            partPaintedAt = nowMs();
            partPaintedCpu = threadCpuMs();
            if (firstPaintedAt < 0) {
                firstPaintedAt = partPaintedAt;
            }
            auto* tree = qobject_cast<QQTree*>(m_part);
            if (firstRowsPaintedAt < 0 && tree && tree->itemCount(1) > 0) {
                firstRowsPaintedAt = partPaintedAt;
            }
        }
        return true;
    }
    return false;
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

QString catalogueIn(const QString& home)
{
    return home + QStringLiteral("/Documents/Brisko/Desktop/data.db");
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

int runChild(const QString& suite,
             const char* marker,
             const QString& mode,
             const QString& home,
             const QString& display,
             QByteArray* output)
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
    child.setProcessChannelMode(output ? QProcess::ForwardedErrorChannel : QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), { suite });
    if (!child.waitForStarted(5000) || !child.waitForFinished(30 * 60 * 1000)) {
        child.kill();
        child.waitForFinished();
        return 1;
    }
    if (output) {
        *output = child.readAllStandardOutput();
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}
} // namespace Bench
