#pragma once

#include <gio/gio.h>

namespace tarnwick::linuxnet
{

// GIO, loaded at its first use instead of with the program: only the desktop
// proxy and systemd-resolved's link servers need it, and loading it with the
// window (GIO, GObject and their libraries) costs start-up time and more
// than a megabyte of memory. Only the functions used here are looked up.
struct GioLibrary {
    decltype(&g_free) free;
    decltype(&g_error_free) errorFree;
    decltype(&g_object_unref) objectUnref;

    decltype(&g_settings_schema_source_get_default) schemaSourceGetDefault;
    decltype(&g_settings_schema_source_lookup) schemaSourceLookup;
    decltype(&g_settings_schema_unref) schemaUnref;
    decltype(&g_settings_new) settingsNew;
    decltype(&g_settings_get_string) settingsGetString;
    decltype(&g_settings_get_int) settingsGetInt;

    decltype(&g_bus_get_sync) busGetSync;
    decltype(&g_dbus_connection_call_sync) connectionCallSync;
    decltype(&g_variant_new) variantNew;
    decltype(&g_variant_get) variantGet;
    decltype(&g_variant_unref) variantUnref;
    decltype(&g_variant_is_of_type) variantIsOfType;
    decltype(&g_variant_iter_init) variantIterInit;
    decltype(&g_variant_iter_next) variantIterNext;
    decltype(&g_variant_get_fixed_array) variantGetFixedArray;

    // The library, loaded once per process; nullptr where GIO is not
    // installed or lacks one of the functions (then nothing here uses it).
    static const GioLibrary* get();
};

// A type string as GVariantType, without GLib's checking macro (a call into
// the library the program is not linked with).
inline const GVariantType* variantType(const char* typeString)
{
    return reinterpret_cast<const GVariantType*>(typeString);
}

} // namespace tarnwick::linuxnet
