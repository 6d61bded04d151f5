#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

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

/// Resident memory of this process in MiB (VmRSS), 0 where it cannot be read.
double residentMb();

/// Monotonic time in milliseconds with sub-millisecond resolution.
double nowMs();
} // namespace Bench
