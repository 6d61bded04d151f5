#include "gio_linux.h"

#include <QTest>

#include <dlfcn.h>

namespace
{
/// Whether the process has `library` mapped, without loading it.
bool isLoaded(const char* library)
{
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (handle) {
        ::dlclose(handle); // only the reference taken here
    }
    return handle != nullptr;
}

/// How many of the functions are set.
int resolvedCount(const Gio::Functions& functions)
{
    int count = 0;
#define BRISKO_GIO_COUNT(name) count += functions.name ? 1 : 0;
    BRISKO_GIO_FUNCTIONS(BRISKO_GIO_COUNT)
#undef BRISKO_GIO_COUNT
    return count;
}

constexpr int FunctionCount = 0
#define BRISKO_GIO_ONE(name) +1
    BRISKO_GIO_FUNCTIONS(BRISKO_GIO_ONE)
#undef BRISKO_GIO_ONE
    ;
} // namespace

/// GIO, loaded at run time on first use: the process maps it only then, and a library that cannot be loaded
/// or lacks a function gives a reason that names it and no half-filled set of functions.
class TestGio : public QObject
{
    Q_OBJECT

private slots:
    void loadedOnFirstUse()
    {
        // This process links the platform layer as the program does, and has opened nothing yet.
        QVERIFY2(!isLoaded(Gio::Library), "GIO was mapped before anything needed it");
        QString failure;
        const Gio::Functions* first = Gio::functions(&failure);
        QVERIFY2(first, qPrintable(failure));
        QVERIFY(isLoaded(Gio::Library));
        QCOMPARE(resolvedCount(*first), FunctionCount);
        QCOMPARE(Gio::functions(nullptr), first); // loaded once, kept
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("library");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("GIO") << QByteArray(Gio::Library) << true << QString();
        QTest::newRow("no such library") << QByteArray("libbrisko-no-such-library.so.0") << false
                                         << "libbrisko-no-such-library.so.0";
        // GLib is there but holds none of GIO's functions: the first one missing is named.
        QTest::newRow("library without the functions")
            << QByteArray("libglib-2.0.so.0") << false << "g_app_info_get_default_for_type";
    }

    void load()
    {
        QFETCH(QByteArray, library);
        QFETCH(bool, usable);
        QFETCH(QString, reasonPart);
        Gio::Functions functions;
        QString failure;
        QCOMPARE(Gio::load(library.constData(), &functions, &failure), usable);
        QCOMPARE(resolvedCount(functions), usable ? FunctionCount : 0);
        if (usable) {
            QVERIFY(failure.isEmpty());
            return;
        }
        QVERIFY2(failure.contains(reasonPart), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(TestGio)
#include "tst_gio.moc"
