#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <ctime>
#include <functional>
#include <vector>

class QQDialog;
class QRandomGenerator;
class QWidget;

namespace Bench
{
/// A suite: gets the arguments after its name, prints "name: value unit" lines, returns the exit code.
using Suite = std::function<int(const QStringList& args)>;

/// Registers a suite under a name; used by a static object in each bench_<suite>.cpp.
struct Registrar
{
    Registrar(const char* name, const char* summary, Suite suite);
};

struct Entry
{
    QString name;
    QString summary;
    Suite suite;
};
std::vector<Entry>& suites();

/// Median of the samples (the mean of the two middle ones for an even count).
double median(std::vector<double> samples);

/// Prints one figure as "name: value unit".
void report(const QString& name, double value, const QString& unit);

/// Resident memory in MiB (VmRSS) of process `pid` (one of ours), of this process for 0; 0 where it cannot be
/// read.
double residentMb(qint64 pid = 0);

/// Monotonic time in milliseconds with sub-millisecond resolution.
double nowMs();

/// The time of clock `clock` (clock_gettime) in milliseconds.
double clockMs(clockid_t clock);

/// CPU time of the calling thread in milliseconds: the work of the GUI thread without the waiting that other
/// programs on the shared cores add to the wall-clock figures.
inline double threadCpuMs()
{
    return clockMs(CLOCK_THREAD_CPUTIME_ID);
}

/// CPU time of this process in milliseconds (all threads). The machine's two cores are shared, so wall-clock
/// figures carry the load of whatever else runs; the CPU figures beside them do not.
inline double processCpuMs()
{
    return clockMs(CLOCK_PROCESS_CPUTIME_ID);
}

/// Lets the event loop run for `ms` milliseconds.
void idle(int ms);

/// Waits (at most ten seconds) until the main window has completed its first paint; false when it never did.
bool waitFirstPaint(QQDialog* window);

/// A name as people's catalogues hold them: file names with extensions, program names, Chinese names (half of
/// all), mixed ones, and now and then a long one.
QString itemName(QRandomGenerator& rng);

/// Notes when a window has completed a paint (its backing store flushed to the screen) in which `part` was
/// painted.
class PaintWatch : public QObject
{
public:
    PaintWatch(QWidget* window, QWidget* part);

    /// When the last paint of the part was completed, -1 for none, and the GUI thread's CPU time then.
    double partPaintedAt = -1;
    double partPaintedCpu = 0;
    /// When the part was first painted at all, and (for a tree) first painted with rows in it; -1 for not yet.
    double firstPaintedAt = -1;
    double firstRowsPaintedAt = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QWidget* m_part;
    bool m_partPainted = false;
};

/// Makes the build's run-time folder (Skins, the template catalogue) the working directory; false (and says so)
/// when it is missing.
bool enterRuntimeDir();

/// Opens a new, empty catalogue at `dbPath` (removing a file there) through the process-wide store; false when
/// it cannot be used.
bool emptyCatalogue(const QString& dbPath);

/// Where the program keeps its catalogue for a person whose home folder is `home`.
QString catalogueIn(const QString& home);

/// An X display to measure on: $DISPLAY when set, otherwise a private Xvfb started here and stopped (by its pid)
/// when this object goes.
class Display
{
public:
    Display();
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    /// The display name (":5"); empty when none could be had.
    QString name() const { return m_name; }

private:
    QProcess* m_xvfb = nullptr;
    QString m_name;
};

/// Runs suite `suite` of this program again, as a child with `marker`=`mode` in its environment, HOME and the
/// XDG folders in `home` (never the real ones), on `display` through xcb; its exit code. What it prints goes to
/// this program's output, or into `output` when given.
int runChild(const QString& suite,
             const char* marker,
             const QString& mode,
             const QString& home,
             const QString& display,
             QByteArray* output = nullptr);
} // namespace Bench
