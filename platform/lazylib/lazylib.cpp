// Opening a library on first use; see lazylib.h.
#include "platform/lazylib/lazylib.h"

#include <dlfcn.h>

void LazyLibrary::open()
{
    // RTLD_LOCAL: the program's own stand-ins keep their names; the library resolves its own calls.
    handle_ = dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? why : std::string(soname_) + ": cannot be loaded";
    }
}

void* LazyLibrary::symbol(const char* name)
{
    std::call_once(once_, [this] { open(); });
    return handle_ ? dlsym(handle_, name) : nullptr;
}

const char* LazyLibrary::error()
{
    std::call_once(once_, [this] { open(); });
    return error_.c_str();
}
