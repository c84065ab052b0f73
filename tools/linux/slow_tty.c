/* slow_tty: makes the first use of one serial line slow, as a Bluetooth serial port whose remote
 * device is out of reach is on Windows.
 *
 * An LD_PRELOAD library for the monitor's own `wine` process only: Wine runs a program's serial
 * calls (GetCommState and the like) in that process with tcgetattr, whereas the wine server opens
 * the device files, so a slow open() would stall every Wine process instead.
 *
 *   VORTIKA_SLOW_TTY=/dev/pts/N   the line, as /proc/self/fd/FD names it; several, comma-separated
 *   VORTIKA_SLOW_TTY_MS=8000      how long the first tcgetattr (or ioctl TCGETS) of each blocks
 *   VORTIKA_SLOW_TTY_MARK=FILE    appends "begin MS" and "end MS" (wall-clock ms) around each wait
 *
 * Only the first use of each line in the process waits: it answers at once after that.
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

#define MAX_LINES 8
static int g_used[MAX_LINES];

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

/* The index of the chosen line that fd is, or -1. */
static int ChosenLine(int fd)
{
    const char* chosen = getenv("VORTIKA_SLOW_TTY");
    if (!chosen || !*chosen)
        return -1;
    char link[64];
    char target[256];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return -1;
    target[n] = '\0';
    const size_t length = (size_t)n;
    for (int index = 0; index < MAX_LINES && *chosen; ++index) {
        const char* comma = strchr(chosen, ',');
        const size_t size = comma ? (size_t)(comma - chosen) : strlen(chosen);
        if (size == length && strncmp(chosen, target, size) == 0)
            return index;
        if (!comma)
            break;
        chosen = comma + 1;
    }
    return -1;
}

static void WaitOnFirstUse(int fd)
{
    const int line = ChosenLine(fd);
    if (line < 0 || __atomic_exchange_n(&g_used[line], 1, __ATOMIC_SEQ_CST))
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
