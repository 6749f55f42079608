/* Preloaded into the tool by a test: the file system behaves as one without unnamed temporary
   files (a FAT memory stick, a network share), so a file being saved gets a visible name of
   its own beside the target until it is complete. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>


static int refused(int flags)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return 1;
    }
    return 0;
}

static mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

#define BARE(...) __VA_ARGS__

/* name(before..., int flags, ...): the call with O_TMPFILE fails, any other goes on to libc. */
#define WRAP(name, before, names)                                                             \
    int name(BARE before, int flags, ...)                                                     \
    {                                                                                         \
        static int (*real)(BARE before, int, ...);                                            \
        va_list args;                                                                         \
        va_start(args, flags);                                                                \
        const mode_t mode = modeOf(flags, args);                                              \
        va_end(args);                                                                         \
        if (refused(flags))                                                                   \
            return -1;                                                                        \
        if (!real)                                                                            \
            *(void **)&real = dlsym(RTLD_NEXT, #name);                                        \
        return real(BARE names, flags, mode);                                                 \
    }

WRAP(open, (const char *path), (path))
WRAP(open64, (const char *path), (path))
WRAP(openat, (int dir, const char *path), (dir, path))
WRAP(openat64, (int dir, const char *path), (dir, path))
