#include "gio_linux.h"

#include <dlfcn.h>
#include <type_traits>

namespace
{
// Why nothing could be opened or started: GIO, which does both, could not be loaded. %1 is the loader's message.
const char* const NoGioReason = "无法载入 GIO 库(%1)";

QString loaderFailure(const char* what)
{
    const char* message = ::dlerror();
    return QString::fromUtf8(NoGioReason).arg(QString::fromLocal8Bit(message ? message : what));
}

struct Loaded
{
    Gio::Functions functions;
    QString failure;
    bool usable = false;
};
} // namespace

namespace Gio
{
bool Functions::isDesktopAppInfo(GAppInfo* app) const
{
    return app
        && g_type_check_instance_is_a(reinterpret_cast<GTypeInstance*>(app), g_desktop_app_info_get_type()) != FALSE;
}

bool load(const char* library, Functions* functions, QString* failure)
{
    *functions = Functions();
    ::dlerror(); // a message left from an earlier call is not this one's
    // Never closed once loaded: GIO registers types with GObject and keeps threads of its own.
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        *failure = loaderFailure(library);
        return false;
    }
    Functions loaded;
    bool complete = true;
    const auto resolve = [&](auto& pointer, const char* name) {
        if (!complete) {
            return;
        }
        ::dlerror();
        void* symbol = ::dlsym(handle, name);
        if (!symbol) {
            *failure = loaderFailure(name);
            complete = false;
            return;
        }
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(symbol);
    };
#define BRISKO_GIO_RESOLVE(name) resolve(loaded.name, #name);
    BRISKO_GIO_FUNCTIONS(BRISKO_GIO_RESOLVE)
#undef BRISKO_GIO_RESOLVE
    if (!complete) {
        ::dlclose(handle);
        return false;
    }
    *functions = loaded;
    return true;
}

const Functions* functions(QString* failure)
{
    static const Loaded loaded = [] {
        Loaded l;
        l.usable = load(Library, &l.functions, &l.failure);
        return l;
    }();
    if (!loaded.usable) {
        if (failure) {
            *failure = loaded.failure;
        }
        return nullptr;
    }
    return &loaded.functions;
}
} // namespace Gio
