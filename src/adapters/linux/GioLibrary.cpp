#include "adapters/linux/GioLibrary.h"

#include <dlfcn.h>

namespace tarnwick::linuxnet
{

namespace
{

template <typename F> bool resolve(void* handle, const char* name, F& out)
{
    out = reinterpret_cast<F>(::dlsym(handle, name));
    return out != nullptr;
}

GioLibrary* load()
{
    // Never closed: GObject's types cannot be unloaded once registered.
    void* handle = ::dlopen("libgio-2.0.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    static GioLibrary lib {};
    const bool ok = resolve(handle, "g_free", lib.free) && resolve(handle, "g_error_free", lib.errorFree)
        && resolve(handle, "g_object_unref", lib.objectUnref)
        && resolve(handle, "g_settings_schema_source_get_default", lib.schemaSourceGetDefault)
        && resolve(handle, "g_settings_schema_source_lookup", lib.schemaSourceLookup)
        && resolve(handle, "g_settings_schema_unref", lib.schemaUnref)
        && resolve(handle, "g_settings_new", lib.settingsNew)
        && resolve(handle, "g_settings_get_string", lib.settingsGetString)
        && resolve(handle, "g_settings_get_int", lib.settingsGetInt)
        && resolve(handle, "g_bus_get_sync", lib.busGetSync)
        && resolve(handle, "g_dbus_connection_call_sync", lib.connectionCallSync)
        && resolve(handle, "g_variant_new", lib.variantNew)
        && resolve(handle, "g_variant_get", lib.variantGet)
        && resolve(handle, "g_variant_unref", lib.variantUnref)
        && resolve(handle, "g_variant_is_of_type", lib.variantIsOfType)
        && resolve(handle, "g_variant_iter_init", lib.variantIterInit)
        && resolve(handle, "g_variant_iter_next", lib.variantIterNext)
        && resolve(handle, "g_variant_get_fixed_array", lib.variantGetFixedArray);
    return ok ? &lib : nullptr;
}

} // namespace

const GioLibrary* GioLibrary::get()
{
    static const GioLibrary* const lib = load();
    return lib;
}

} // namespace tarnwick::linuxnet
