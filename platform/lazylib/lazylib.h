// Libraries that only mail, the cloud, updates, exports and printing need, opened on their first
// use instead of at start: the program links this folder's stand-ins in their place, and each
// stand-in loads the real library once, finds the function and calls it.
#pragma once

#include <mutex>
#include <string>

class LazyLibrary {
  public:
    explicit LazyLibrary(const char* soname) : soname_(soname) {}
    // The library's function of that name, or null when the library or the name is missing.
    void* symbol(const char* name);
    // Why the library could not be opened (the loader's own words), empty while it could.
    const char* error();

  private:
    void open();
    const char* soname_;
    std::once_flag once_;
    void* handle_ = nullptr;
    std::string error_;
};

// One stand-in: a function of the real library's name and type that forwards to the real one,
// and without the library returns what the library returns when it fails (`void()` for none).
#define PEL_LAZY(lib, type, name, params, args, failed)                                    \
    extern "C" type name params                                                            \
    {                                                                                      \
        static const auto real = reinterpret_cast<decltype(&::name)>((lib).symbol(#name)); \
        if (!real) return failed;                                                          \
        return real args;                                                                  \
    }
