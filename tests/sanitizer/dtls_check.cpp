// Built with AddressSanitizer and run with the options of scripts/test.sh: the leak check at exit
// must survive a thread-local block of a library opened after start that lies 16 bytes past a page
// boundary. The runtime's __tls_get_addr interceptor takes such a block for one with a header in
// front (a layout glibc no longer has), reads the allocator's chunk header as the block's bounds,
// and LeakSanitizer then scans garbage bounds at exit ("Tracer caught signal 11"). Where the block
// lands depends on what was allocated before, so in the program's tests this happened by chance;
// here it is made to happen every time. The options turn the interceptor off.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

void* taken[1 << 16];  // a global array that outlives the leak check: none of these is a leak

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    void* lib = ::dlopen(argv[1], RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 2;
    }
    using Address = int* (*)();
    const auto address = reinterpret_cast<Address>(::dlsym(lib, "TlsCounterAddress"));
    if (!address) return 2;
    // Small blocks come one after the other from one size class, each 16 bytes past a 16-byte
    // header: take them until the next one starts on a page.
    for (void*& p : taken) {
        p = std::malloc(4);
        if ((reinterpret_cast<std::uintptr_t>(p) + 32) % 4096 == 16) break;
    }
    int* block = address();
    *block = 1;
    const auto offset = reinterpret_cast<std::uintptr_t>(block) % 4096;
    std::printf("thread-local block at %p, %zu past a page\n", static_cast<void*>(block), size_t(offset));
    // A block elsewhere would test nothing.
    return offset == 16 ? 0 : 3;
}
