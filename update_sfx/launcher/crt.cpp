// The two C runtime routines the compiler may call on its own for struct
// zeroing and copying; the stub links no C runtime.
#include <stddef.h>

extern "C" void* memset(void* destination, int value, size_t size)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    while (size-- != 0)
        *d++ = static_cast<unsigned char>(value);
    return destination;
}

extern "C" void* memcpy(void* destination, const void* source, size_t size)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    while (size-- != 0)
        *d++ = *s++;
    return destination;
}
