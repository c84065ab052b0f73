// vortika_emulator: a VOR-TIKA device on the far side of a pseudo-terminal.
//
// The end-to-end tests and the benchmarks run the real monitor under Wine; this program plays the
// device. It opens a pty, puts it in raw mode, optionally maps it as a COM port of a Wine prefix
// (dosdevices link plus a value under the serial-ports registry key), answers the handshake query
// and sends whatever it is told to, from standard input or a script. Every byte the monitor writes is
// recorded with a time stamp. Status lines on standard output are meant for machines: one event per
// line, flushed at once.
//
// Control commands (one per line, from --script FILE first, then standard input):
//   send TEXT          write TEXT (escapes: \r \n \t \\ \xHH \s for a blank)
//   sendhex HEX        write raw bytes given in hexadecimal
//   repeat N TEXT      write TEXT N times in one go
//   sleep MS           wait before the next command
//   answer on|off      answer the handshake or stay silent
//   reply TEXT         change the answer to the handshake
//   unplug / replug    remove / re-add the COM mapping (after hangup, replug opens a new pty)
//   hangup             close the device side of the pty, as a pulled cable does
//   status             print "status ..." (bytes received, processes holding the port)
//   echo TEXT          print "echo TEXT" (a marker for whoever reads the status lines)
//   quit               unmap and end
// A command waits until the bytes of the previous one are written.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kQuery = "$VOR-TIKA?\r";
const std::string kDefaultReply = "#VOR-TIKA!";

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int)
{
    g_stop = 1;
}

double MonotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double RealtimeMs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Status lines go to standard output, one per event, flushed so that a reader on a pipe sees them
// at once. A closed pipe must not kill the device, so errors are ignored (SIGPIPE is ignored too).
void Status(const std::string& line)
{
    std::string out = line + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Printable(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Turns the escapes of the control protocol into bytes. An unknown escape stays as written.
std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        char e = text[++i];
        switch (e) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 's':
            out += ' ';
            break;
        case '0':
            out += '\0';
            break;
        case '\\':
            out += '\\';
            break;
        case 'x': {
            int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        }
        default:
            out += '\\';
            out += e;
        }
    }
    return out;
}

std::optional<std::string> FromHex(const std::string& text)
{
    std::string out;
    int pending = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == ',')
            continue;
        int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        if (pending < 0) {
            pending = d;
        } else {
            out += static_cast<char>(pending * 16 + d);
            pending = -1;
        }
    }
    if (pending >= 0)
        return std::nullopt;
    return out;
}

// Runs a command with standard streams on /dev/null and waits for it. Used for `wine reg`, which
// may start a wine server: that server must not inherit our pipes or our pty.
int RunQuiet(const std::vector<std::string>& argv)
{
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Options {
    std::string prefix;
    std::string port; // "COM5"
    bool silent = false;
    std::string reply = kDefaultReply;
    bool split = false;
    int splitGapMs = 250;
    bool noise = false;
    int delayMs = 0;
    std::string script;
    std::string record;
    std::string linkPath; // a plain symlink to the pty, for use without Wine
};

void Usage()
{
    std::fprintf(stderr, "usage: vortika_emulator [--prefix WINEPREFIX --port COMn] [--silent] [--reply TEXT]\n"
                         "         [--split] [--split-gap MS] [--noise] [--delay MS] [--script FILE]\n"
                         "         [--record FILE] [--link PATH]\n"
                         "Control commands on standard input: send TEXT, sendhex HEX, repeat N TEXT, sleep MS,\n"
                         "answer on|off, reply TEXT, unplug, replug, hangup, status, echo TEXT, quit.\n");
}

class Device {
public:
    explicit Device(Options options) : opt_(std::move(options)) {}

    ~Device() { ClosePty(); }

    bool OpenPty();
    void ClosePty();
    bool Map();
    void Unmap();

    void Loop();

private:
    struct Output {
        std::string bytes;
        size_t written = 0;
        std::string kind; // "sent" or "answered"
    };
    struct Timed {
        double due;
        std::string bytes;
        std::string kind;
    };

    void SpawnHolder();
    void ReapHolder();
    void OnReadable();
    void FlushOutput();
    void RunCommands();
    bool RunCommand(const std::string& line); // false: quit
    void Enqueue(std::string bytes, std::string kind);
    void Record(const std::string& bytes);
    int CountOpeners() const;
    // Named after the port, not the pty: Linux hands a freed pty number out again, and a new
    // device must never overwrite the value of another one.
    std::string ValueName() const
    {
        return "\\Device\\VorTika" + (opt_.port.empty() ? std::to_string(valueNumber_) : opt_.port);
    }
    std::string LinkPath() const;

    Options opt_;
    int master_ = -1;
    std::string slavePath_;
    pid_t holder_ = -1;
    int valueNumber_ = -1;
    bool mapped_ = false;
    bool answer_ = true;
    std::string seen_; // tail of the received bytes, to find the query across reads
    size_t receivedTotal_ = 0;
    std::deque<Output> out_;
    std::vector<Timed> timed_;
    std::deque<std::string> commands_;
    double busyUntil_ = 0;
    bool stdinOpen_ = true;
    bool quit_ = false;
    std::FILE* record_ = nullptr;
    std::string inLine_;

public:
    void SetAnswer(bool on) { answer_ = on; }
    void Announce() const { Status("ready " + slavePath_ + (opt_.port.empty() ? "" : " " + opt_.port)); }
    void AddCommand(std::string line) { commands_.push_back(std::move(line)); }
    bool OpenRecord()
    {
        if (opt_.record.empty())
            return true;
        record_ = std::fopen(opt_.record.c_str(), "w");
        return record_ != nullptr;
    }
    void CloseRecord()
    {
        if (record_)
            std::fclose(record_);
        record_ = nullptr;
    }
};

bool Device::OpenPty()
{
    int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
        Status(std::string("error openpt ") + std::strerror(errno));
        if (fd >= 0)
            close(fd);
        return false;
    }
    const char* name = ptsname(fd);
    if (!name) {
        close(fd);
        return false;
    }
    slavePath_ = name;
    int slave = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        Status("error open " + slavePath_ + " " + std::strerror(errno));
        close(fd);
        return false;
    }
    // Raw on the device side before anyone opens the port: a fresh pty echoes, maps CR to LF and
    // honours XON/XOFF, which the monitor would then read back as the driver's settings.
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(slave, TCSANOW, &tio);

    master_ = fd;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (valueNumber_ < 0) {
        const char* digits = slavePath_.c_str() + slavePath_.find_last_not_of("0123456789") + 1;
        valueNumber_ = std::atoi(digits);
    }
    SpawnHolder();
    // Our own slave descriptor goes: the holder keeps the line up, so that the master never sees
    // EIO while the monitor has the port closed.
    close(slave);
    return true;
}

// A throwaway session whose controlling terminal is the pty slave. Without it, the first process that
// opens the slave without O_NOCTTY as a session leader (the wine server) adopts it, and then gets
// SIGHUP when the device hangs up.
void Device::SpawnHolder()
{
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        Status(std::string("error fork ") + std::strerror(errno));
        return;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(0);
        setsid();
        int null = open("/dev/null", O_RDWR);
        int slave = open(slavePath_.c_str(), O_RDWR); // becomes the controlling terminal
        if (slave >= 0)
            ioctl(slave, TIOCSCTTY, 0);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != slave)
                close(fd);
        signal(SIGHUP, SIG_DFL);
        for (;;)
            pause();
    }
    holder_ = pid;
}

void Device::ReapHolder()
{
    if (holder_ > 0) {
        kill(holder_, SIGKILL);
        while (waitpid(holder_, nullptr, 0) < 0 && errno == EINTR) {
        }
        holder_ = -1;
    }
}

void Device::ClosePty()
{
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
    ReapHolder();
    out_.clear();
    timed_.clear();
}

std::string Device::LinkPath() const
{
    std::string name = opt_.port;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return opt_.prefix + "/dosdevices/" + name;
}

bool Device::Map()
{
    if (!opt_.linkPath.empty()) {
        unlink(opt_.linkPath.c_str());
        if (symlink(slavePath_.c_str(), opt_.linkPath.c_str()) != 0)
            Status("error link " + opt_.linkPath + " " + std::strerror(errno));
    }
    if (opt_.prefix.empty() || opt_.port.empty())
        return true;
    std::string link = LinkPath();
    unlink(link.c_str());
    if (symlink(slavePath_.c_str(), link.c_str()) != 0) {
        Status("error link " + link + " " + std::strerror(errno));
        return false;
    }
    int rc = RunQuiet({"wine", "reg", "add", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "/v", ValueName(), "/t", "REG_SZ",
                       "/d", opt_.port, "/f"});
    if (rc != 0) {
        Status("error reg add " + std::to_string(rc));
        return false;
    }
    mapped_ = true;
    return true;
}

void Device::Unmap()
{
    if (!opt_.linkPath.empty())
        unlink(opt_.linkPath.c_str());
    if (opt_.prefix.empty() || opt_.port.empty())
        return;
    unlink(LinkPath().c_str());
    if (mapped_)
        RunQuiet({"wine", "reg", "delete", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "/v", ValueName(), "/f"});
    mapped_ = false;
}

void Device::Record(const std::string& bytes)
{
    if (!record_)
        return;
    std::fprintf(record_, "%.3f %.3f %s |%s|\n", MonotonicMs(), RealtimeMs(), Hex(bytes).c_str(),
                 Printable(bytes).c_str());
    std::fflush(record_);
}

void Device::Enqueue(std::string bytes, std::string kind)
{
    if (master_ < 0) {
        Status("error hungup " + kind);
        return;
    }
    out_.push_back(Output{std::move(bytes), 0, std::move(kind)});
}

void Device::OnReadable()
{
    char buf[4096];
    for (;;) {
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) {
            std::string bytes(buf, static_cast<size_t>(n));
            receivedTotal_ += bytes.size();
            Record(bytes);
            Status("received " + std::to_string(n) + " " + Hex(bytes));
            seen_ += bytes;
            size_t at;
            while ((at = seen_.find(kQuery)) != std::string::npos) {
                seen_.erase(0, at + kQuery.size());
                Status("query");
                if (!answer_)
                    continue;
                std::string reply = opt_.reply;
                if (opt_.noise)
                    reply = "xx?" + reply + "\r\n";
                double due = MonotonicMs() + opt_.delayMs;
                if (opt_.split && reply.size() > 1) {
                    size_t half = reply.size() / 2;
                    timed_.push_back(Timed{due, reply.substr(0, half), "answered"});
                    timed_.push_back(Timed{due + opt_.splitGapMs, reply.substr(half), "answered"});
                } else {
                    timed_.push_back(Timed{due, reply, "answered"});
                }
            }
            if (seen_.size() > 64)
                seen_.erase(0, seen_.size() - 64);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // EIO: no slave descriptor is open anywhere. Bring the holder back so that poll stops
        // reporting a hang-up; the device itself stays up.
        Status(std::string("eio ") + (n < 0 ? std::strerror(errno) : "eof"));
        ReapHolder();
        SpawnHolder();
        return;
    }
}

void Device::FlushOutput()
{
    while (master_ >= 0 && !out_.empty()) {
        Output& o = out_.front();
        while (o.written < o.bytes.size()) {
            ssize_t n = write(master_, o.bytes.data() + o.written, o.bytes.size() - o.written);
            if (n > 0) {
                o.written += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return;
            Status(std::string("error write ") + std::strerror(errno));
            out_.pop_front();
            return;
        }
        char buf[96];
        std::snprintf(buf, sizeof buf, " %zu %.3f %.3f", o.bytes.size(), MonotonicMs(), RealtimeMs());
        Status(o.kind + buf);
        out_.pop_front();
    }
}

int Device::CountOpeners() const
{
    if (slavePath_.empty() || master_ < 0)
        return 0;
    struct stat target {};
    if (stat(slavePath_.c_str(), &target) != 0)
        return 0;
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return 0;
    while (dirent* e = readdir(proc)) {
        pid_t pid = std::atoi(e->d_name);
        if (pid <= 0 || pid == getpid() || pid == holder_)
            continue;
        std::string fdDir = std::string("/proc/") + e->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds)
            continue;
        bool holds = false;
        while (dirent* f = readdir(fds)) {
            struct stat st {};
            if (f->d_name[0] == '.')
                continue;
            if (stat((fdDir + "/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == target.st_rdev) {
                holds = true;
                break;
            }
        }
        closedir(fds);
        if (holds)
            ++count;
    }
    closedir(proc);
    return count;
}

bool Device::RunCommand(const std::string& raw)
{
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#')
        return true;
    line.erase(0, start);
    size_t space = line.find(' ');
    std::string verb = line.substr(0, space);
    std::string arg = space == std::string::npos ? "" : line.substr(space + 1);

    if (verb == "send") {
        Enqueue(Unescape(arg), "sent");
    } else if (verb == "sendhex") {
        auto bytes = FromHex(arg);
        if (bytes)
            Enqueue(*bytes, "sent");
        else
            Status("error bad hex");
    } else if (verb == "repeat") {
        size_t sp = arg.find(' ');
        long n = std::strtol(arg.substr(0, sp).c_str(), nullptr, 10);
        std::string unit = sp == std::string::npos ? "" : Unescape(arg.substr(sp + 1));
        std::string bytes;
        for (long i = 0; i < n; ++i)
            bytes += unit;
        Enqueue(bytes, "sent");
    } else if (verb == "sleep") {
        busyUntil_ = MonotonicMs() + std::strtod(arg.c_str(), nullptr);
    } else if (verb == "answer") {
        answer_ = arg != "off";
        Status("answer " + std::string(answer_ ? "on" : "off"));
    } else if (verb == "reply") {
        opt_.reply = Unescape(arg);
        Status("reply " + Printable(opt_.reply));
    } else if (verb == "unplug") {
        Unmap();
        Status("unplugged");
    } else if (verb == "replug") {
        if (master_ < 0 && !OpenPty())
            return true;
        if (Map())
            Announce();
    } else if (verb == "hangup") {
        ClosePty();
        Status("hungup");
    } else if (verb == "status") {
        Status("status received=" + std::to_string(receivedTotal_) + " openers=" + std::to_string(CountOpeners()) +
               " pty=" + (master_ >= 0 ? slavePath_ : "none") + " mapped=" + (mapped_ ? "1" : "0"));
    } else if (verb == "echo") {
        Status("echo " + arg);
    } else if (verb == "quit") {
        return false;
    } else {
        Status("error unknown command " + verb);
    }
    return true;
}

void Device::RunCommands()
{
    while (!quit_ && !commands_.empty() && out_.empty() && MonotonicMs() >= busyUntil_) {
        std::string line = commands_.front();
        commands_.pop_front();
        if (!RunCommand(line))
            quit_ = true;
    }
}

void Device::Loop()
{
    while (!quit_ && !g_stop) {
        double now = MonotonicMs();
        // Replies whose time has come join the output, in order.
        std::sort(timed_.begin(), timed_.end(), [](const Timed& a, const Timed& b) { return a.due < b.due; });
        while (!timed_.empty() && timed_.front().due <= now) {
            Enqueue(timed_.front().bytes, timed_.front().kind);
            timed_.erase(timed_.begin());
        }
        FlushOutput();
        RunCommands();
        FlushOutput();
        if (quit_)
            break;

        double wake = 1e18;
        if (!timed_.empty())
            wake = std::min(wake, timed_.front().due);
        if (!commands_.empty() && out_.empty())
            wake = std::min(wake, busyUntil_);
        int timeout = -1;
        if (wake < 1e17)
            timeout = std::max(0, static_cast<int>(wake - MonotonicMs() + 0.999));
        if (master_ < 0 && timeout < 0 && !stdinOpen_)
            timeout = 1000; // nothing left to watch: idle until a signal

        pollfd fds[2];
        int n = 0;
        int masterSlot = -1, stdinSlot = -1;
        if (master_ >= 0) {
            masterSlot = n;
            fds[n++] = pollfd{master_, static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0};
        }
        if (stdinOpen_) {
            stdinSlot = n;
            fds[n++] = pollfd{0, POLLIN, 0};
        }
        int rc = poll(fds, static_cast<nfds_t>(n), timeout);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            Status(std::string("error poll ") + std::strerror(errno));
            break;
        }
        if (masterSlot >= 0 && fds[masterSlot].revents) {
            if (fds[masterSlot].revents & (POLLIN | POLLHUP | POLLERR))
                OnReadable();
        }
        if (stdinSlot >= 0 && fds[stdinSlot].revents) {
            char buf[4096];
            ssize_t got = read(0, buf, sizeof buf);
            if (got > 0) {
                inLine_.append(buf, static_cast<size_t>(got));
                size_t nl;
                while ((nl = inLine_.find('\n')) != std::string::npos) {
                    commands_.push_back(inLine_.substr(0, nl));
                    inLine_.erase(0, nl + 1);
                }
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                // End of the control stream: the device stays up until it is told to quit or is
                // signalled, so that a script can run to its end.
                if (!inLine_.empty())
                    commands_.push_back(inLine_);
                inLine_.clear();
                stdinOpen_ = false;
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                Usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--prefix")
            opt.prefix = next();
        else if (a == "--port")
            opt.port = next();
        else if (a == "--silent")
            opt.silent = true;
        else if (a == "--reply")
            opt.reply = Unescape(next());
        else if (a == "--split")
            opt.split = true;
        else if (a == "--split-gap")
            opt.splitGapMs = std::atoi(next().c_str());
        else if (a == "--noise")
            opt.noise = true;
        else if (a == "--delay")
            opt.delayMs = std::atoi(next().c_str());
        else if (a == "--script")
            opt.script = next();
        else if (a == "--record")
            opt.record = next();
        else if (a == "--link")
            opt.linkPath = next();
        else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            Usage();
            return 2;
        }
    }
    if (opt.port.empty() != opt.prefix.empty()) {
        std::fprintf(stderr, "--prefix and --port go together\n");
        return 2;
    }
    if (!opt.prefix.empty()) {
        setenv("WINEPREFIX", opt.prefix.c_str(), 1);
        if (!getenv("WINEDEBUG"))
            setenv("WINEDEBUG", "-all", 1);
    }

    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    Device device(opt);
    device.SetAnswer(!opt.silent);
    if (!device.OpenRecord()) {
        std::fprintf(stderr, "cannot write %s\n", opt.record.c_str());
        return 1;
    }
    if (!opt.script.empty()) {
        std::ifstream script(opt.script);
        if (!script) {
            std::fprintf(stderr, "cannot read %s\n", opt.script.c_str());
            return 1;
        }
        for (std::string line; std::getline(script, line);)
            device.AddCommand(line);
    }
    if (!device.OpenPty())
        return 1;
    if (!device.Map()) {
        device.Unmap();
        return 1;
    }
    // "ready" comes last, once the port is listed: a reader may start the monitor right after it.
    device.Announce();
    device.Loop();
    device.Unmap();
    device.ClosePty();
    device.CloseRecord();
    Status("bye");
    return 0;
}
