// A library with thread-local data, opened by dtls_check after start: each thread gets its block
// of it from malloc the first time it touches it.
extern "C" {
thread_local int tlsCounter;
int* TlsCounterAddress()
{
    return &tlsCounter;
}
}
