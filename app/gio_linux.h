#pragma once

#include <QString>

// GLib's headers use "signals" as a plain identifier, which Qt defines as a keyword macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#pragma pop_macro("signals")

/// GIO, loaded the first time it is needed. The program links GLib alone (Qt has it loaded anyway); GIO and
/// what it pulls in (GObject, GModule, libffi, libmount, libblkid, libselinux) would otherwise be mapped and
/// relocated at every start, though they are needed only to open a file or start a program.
namespace Gio
{
/// The library the functions come from.
inline constexpr const char* Library = "libgio-2.0.so.0";

/// The GIO and GObject functions the platform layer calls: one list, so that none is declared but not resolved.
#define BRISKO_GIO_FUNCTIONS(F)                                                                                        \
    F(g_app_info_get_default_for_type)                                                                                 \
    F(g_app_info_get_default_for_uri_scheme)                                                                           \
    F(g_app_info_launch_uris)                                                                                          \
    F(g_desktop_app_info_get_string)                                                                                   \
    F(g_desktop_app_info_get_type)                                                                                     \
    F(g_desktop_app_info_launch_uris_as_manager)                                                                       \
    F(g_desktop_app_info_new_from_keyfile)                                                                             \
    F(g_object_unref)                                                                                                  \
    F(g_type_check_instance_is_a)

/// Those functions, under their own names and types.
struct Functions
{
#define BRISKO_GIO_DECLARE(name) decltype(&::name) name = nullptr;
    BRISKO_GIO_FUNCTIONS(BRISKO_GIO_DECLARE)
#undef BRISKO_GIO_DECLARE

    /// What G_IS_DESKTOP_APP_INFO() tells, through these functions.
    bool isDesktopAppInfo(GAppInfo* app) const;
};

/// Loads `library` and resolves every one of the functions from it (GObject's come through GIO's own
/// dependency). False when the library cannot be loaded or lacks one of them: `*failure` then says why, in
/// words for the person with the loader's own message (which names the library or the missing function),
/// `*functions` is left empty and the library is let go.
bool load(const char* library, Functions* functions, QString* failure);

/// GIO's functions, loaded from Library on the first call (safely from any thread) and kept for the life of
/// the process; nullptr when they could not be, with the reason in `*failure` (when given).
const Functions* functions(QString* failure);
} // namespace Gio
