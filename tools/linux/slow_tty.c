/* slow_tty: makes the first use of one serial line slow, as a Bluetooth serial port whose remote
 * device is out of reach is on Windows.
 *
 * An LD_PRELOAD library for the monitor's own `wine` process only: Wine runs a program's serial
 * calls (GetCommState and the like) in that process with tcgetattr, whereas the wine server opens
 * the device files, so a slow open() would stall every Wine process instead.
 *
 *   VORTIKA_SLOW_TTY=/dev/pts/N   the line, as /proc/self/fd/FD names it
 *   VORTIKA_SLOW_TTY_MS=8000      how long its first tcgetattr (or ioctl TCGETS) blocks
 *   VORTIKA_SLOW_TTY_MARK=FILE    appends "begin MS" and "end MS" (wall-clock ms) around the wait
 *
 * Only the first use in the process waits: the line answers at once after that.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static int g_used = 0;

static long long WallMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static void Mark(const char* what)
{
    const char* path = getenv("VORTIKA_SLOW_TTY_MARK");
    if (!path || !*path)
        return;
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char line[64];
    int n = snprintf(line, sizeof line, "%s %lld\n", what, WallMs());
    if (n > 0 && write(fd, line, (size_t)n) < 0) {
        /* nothing to do: the mark is only a help for the test */
    }
    close(fd);
}

static int IsChosenLine(int fd)
{
    const char* chosen = getenv("VORTIKA_SLOW_TTY");
    if (!chosen || !*chosen)
        return 0;
    char link[64];
    char target[256];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = '\0';
    return strcmp(target, chosen) == 0;
}

static void WaitOnFirstUse(int fd)
{
    if (!IsChosenLine(fd) || __atomic_exchange_n(&g_used, 1, __ATOMIC_SEQ_CST))
        return;
    const char* ms_text = getenv("VORTIKA_SLOW_TTY_MS");
    long ms = ms_text ? strtol(ms_text, NULL, 10) : 8000;
    Mark("begin");
    struct timespec left = {ms / 1000, (ms % 1000) * 1000000L};
    /* Wine signals its threads now and then: sleep out the rest after each interruption. */
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    Mark("end");
}

int tcgetattr(int fd, struct termios* tio)
{
    static int (*next)(int, struct termios*);
    if (!next)
        *(void**)&next = dlsym(RTLD_NEXT, "tcgetattr");
    WaitOnFirstUse(fd);
    return next(fd, tio);
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*next)(int, unsigned long, ...);
    if (!next)
        *(void**)&next = dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (request == TCGETS)
        WaitOnFirstUse(fd);
    return next(fd, request, arg);
}
