// The resident memory of a GUI program after start-up: starts it, waits until
// a window of its own is mapped on the X display and has had time to draw,
// reads VmRSS from /proc, then ends it with SIGINT. Each program is measured
// three times; the median counts.
//
// The first GTK program on a new X server loads the GL driver (tens of MiB) to
// choose its visuals and leaves the choice on the root window for the next
// ones, as on a desktop where some program did that long ago. So one
// unmeasured start of the floor program comes first, and this probe keeps its
// own connection open so that the server does not reset in between.
//
// Usage: rss_probe [--table_out=FILE] PROGRAM FLOOR_PROGRAM
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Windows may vanish while they are looked at: such errors are expected.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// Whether a top-level window of process pid is mapped.
bool windowMapped(Display* display, pid_t pid)
{
    const Atom wmPid = XInternAtom(display, "_NET_WM_PID", False);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return false;
    bool mapped = false;
    for (unsigned int i = 0; i < count && !mapped; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, children[i], wmPid, 0, 1, False, XA_CARDINAL, &type,
                               &format, &items, &after, &data) == Success &&
            data != nullptr && items == 1 && format == 32) {
            XWindowAttributes attributes;
            mapped = *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(pid) &&
                     XGetWindowAttributes(display, children[i], &attributes) &&
                     attributes.map_state == IsViewable;
        }
        if (data != nullptr)
            XFree(data);
    }
    if (children != nullptr)
        XFree(children);
    return mapped;
}

long vmRssKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Ends the child with SIGINT, or SIGKILL if it is still there 5 s later.
void stop(pid_t pid)
{
    kill(pid, SIGINT);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// VmRSS in KiB once the program's window is mapped; -1 on failure.
long measure(Display* display, const std::string& program)
{
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGINT, SIG_DFL);  // a shell may have started us ignoring it
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        std::perror(program.c_str());
        _exit(127);
    }
    long rss = -1;
    for (int i = 0; i < 1000; ++i) {  // up to 10 s
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            std::cerr << program << " ended before its window was mapped\n";
            return -1;
        }
        if (windowMapped(display, pid)) {
            std::this_thread::sleep_for(500ms);  // its first draw
            rss = vmRssKiB(pid);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    if (rss < 0)
        std::cerr << program << ": no mapped window within 10 s\n";
    stop(pid);
    return rss;
}

long medianOfThree(Display* display, const std::string& program)
{
    std::vector<long> runs;
    std::cout << program << ": VmRSS";
    for (int i = 0; i < 3; ++i) {
        const long rss = measure(display, program);
        if (rss < 0)
            return -1;
        runs.push_back(rss);
        std::cout << (i == 0 ? " " : ", ") << rss;
    }
    std::cout << " KiB" << std::endl;
    std::sort(runs.begin(), runs.end());
    return runs[1];
}

std::string mebibytes(long kib)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(kib) / 1024.0);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string tableOut;
    const std::string option = "--table_out=";
    if (!args.empty() && args[0].rfind(option, 0) == 0) {
        tableOut = args[0].substr(option.size());
        args.erase(args.begin());
    }
    if (args.size() != 2) {
        std::cerr << "usage: rss_probe [--table_out=FILE] PROGRAM FLOOR_PROGRAM\n";
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::cerr << "rss_probe: cannot open the X display\n";
        return 1;
    }
    XSetErrorHandler(ignoreXError);
    measure(display, args[1]);
    const long program = medianOfThree(display, args[0]);
    const long floor = medianOfThree(display, args[1]);
    XCloseDisplay(display);
    if (program < 0 || floor < 0)
        return 1;

    std::ofstream file;
    if (!tableOut.empty())
        file.open(tableOut, std::ios::app);
    std::ostream& out = file.is_open() ? static_cast<std::ostream&>(file) : std::cout;
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.2fx",
                  static_cast<double>(program) / static_cast<double>(floor));
    out << "| Program's resident memory after start-up | " << mebibytes(program) << " | "
        << mebibytes(floor) << " (empty gtkmm window) | " << ratio << " | - |\n";
    return 0;
}
