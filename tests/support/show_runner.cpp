#include "show_runner.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using clock_type = std::chrono::steady_clock;

bool before(clock_type::time_point deadline)
{
    return clock_type::now() < deadline;
}

clock_type::time_point deadline_in(int ms)
{
    return clock_type::now() + std::chrono::milliseconds(ms);
}

void pause_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Windows may vanish while they are walked (SDL replaces its windows while
// it sets the video mode): such errors mean "not this one", not "abort".
int ignore_x_error(Display*, XErrorEvent*)
{
    return 0;
}

// Depth-first search for a window whose name is name.
Window find_window(Display* dpy, Window root, const char* name)
{
    XSetErrorHandler(ignore_x_error);
    char* window_name = nullptr;
    if (XFetchName(dpy, root, &window_name) && window_name) {
        bool match = std::strcmp(window_name, name) == 0;
        XFree(window_name);
        if (match)
            return root;
    }
    Window parent_return, root_return;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(dpy, root, &root_return, &parent_return, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i)
            found = find_window(dpy, children[i], name);
        if (children)
            XFree(children);
    }
    return found;
}

int run_command(const std::vector<std::string>& args, const std::string& display)
{
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ShowRunner::ShowRunner()
{
    dir_ = make_temp_dir();
}

ShowRunner::~ShowRunner()
{
    stop_show();
    stop_server();
    for (pid_t pid : refusing_servers_) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (!dir_.empty()) {
        unlink((dir_ + "/out.txt").c_str());
        unlink((dir_ + "/err.txt").c_str());
        rmdir(dir_.c_str());
    }
}

namespace {

// One Xvfb on a display it picks itself; its pid and display name.
bool start_xvfb(pid_t* server_pid, std::string* display)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    *server_pid = fork();
    if (*server_pid == 0) {
        close(fds[0]);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        std::string fd = std::to_string(fds[1]);
        // -noreset: an X server resets when its last client leaves and
        // refuses connections while it does; the probe below and every
        // xdotool call are such last clients.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               "-noreset", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    if (*server_pid < 0) {
        close(fds[0]);
        return false;
    }
    // Xvfb writes the display number and a newline once it accepts clients.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        kill(*server_pid, SIGTERM);
        waitpid(*server_pid, nullptr, 0);
        return false;
    }
    *display = ":" + number;
    // The number can arrive before the server takes clients: wait until a
    // connection succeeds, so the show never starts against a closed door.
    auto deadline = deadline_in(20000);
    while (before(deadline)) {
        if (Display* dpy = XOpenDisplay(display->c_str())) {
            XCloseDisplay(dpy);
            return true;
        }
        if (waitpid(*server_pid, nullptr, WNOHANG) != 0)
            break;
        pause_ms(50);
    }
    kill(*server_pid, SIGTERM);
    waitpid(*server_pid, nullptr, 0);
    return false;
}

} // namespace

bool ShowRunner::start_server()
{
    stop_server();
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (start_xvfb(&server_pid_, &display_))
            return true;
        server_pid_ = -1;
        display_.clear();
        pause_ms(200);
    }
    return false;
}


bool ShowRunner::start_show(const std::string& program, const std::vector<std::string>& env)
{
    return start_program(program.empty() ? build_dir() + "/bin/mirvok" : program, {}, env);
}

bool ShowRunner::start_program(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& env)
{
    if (display_.empty() && !start_server())
        return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!launch(program, args, env))
            return false;
        if (wait_for_window(START_MS) || !show_ended())
            return true;
        // Ended without a window: refused by the display, or its own end
        // (bad arguments, a missing file), which the test reads.
        const std::string err = this->err();
        if (err.find("X11") == std::string::npos && err.find("display") == std::string::npos)
            return true;
        stop_show();
        refusing_servers_.push_back(server_pid_);
        server_pid_ = -1;
        display_.clear();
        if (!start_server())
            return false;
    }
    return false;
}

bool ShowRunner::launch(const std::string& exe, const std::vector<std::string>& args,
                        const std::vector<std::string>& env)
{
    stop_show();
    std::string out = dir_ + "/out.txt";
    std::string err = dir_ + "/err.txt";
    std::vector<char*> argv = {const_cast<char*>(exe.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    show_pid_ = fork();
    if (show_pid_ == 0) {
        setenv("DISPLAY", display_.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int null_fd = open("/dev/null", O_RDONLY);
        dup2(null_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        if (closed_fd_ >= 0)
            close(closed_fd_);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    return show_pid_ > 0;
}

bool ShowRunner::wait_for(const std::string& file, const std::string& text, int timeout_ms)
{
    auto deadline = deadline_in(timeout_ms);
    while (before(deadline)) {
        if (read_text_file(file).find(text) != std::string::npos)
            return true;
        if (show_ended()) {
            // Ended: what it wrote is complete.
            return read_text_file(file).find(text) != std::string::npos;
        }
        pause_ms(20);
    }
    return false;
}

bool ShowRunner::wait_for_out(const std::string& text, int timeout_ms)
{
    return wait_for(dir_ + "/out.txt", text, timeout_ms);
}

bool ShowRunner::wait_for_err(const std::string& text, int timeout_ms)
{
    return wait_for(dir_ + "/err.txt", text, timeout_ms);
}

std::string ShowRunner::out() const
{
    return read_text_file(dir_ + "/out.txt");
}

std::string ShowRunner::err() const
{
    return read_text_file(dir_ + "/err.txt");
}

bool ShowRunner::send_key(const std::string& key)
{
    return run_command({"xdotool", "key", key}, display_) == 0;
}

bool ShowRunner::key_down(const std::string& key)
{
    return run_command({"xdotool", "keydown", key}, display_) == 0;
}

bool ShowRunner::key_up(const std::string& key)
{
    return run_command({"xdotool", "keyup", key}, display_) == 0;
}

bool ShowRunner::wait_for_window(int timeout_ms)
{
    Display* dpy = XOpenDisplay(display_.c_str());
    if (!dpy)
        return false;
    auto deadline = deadline_in(timeout_ms);
    bool found = false;
    while (!found && before(deadline) && !show_ended()) {
        found = find_window(dpy, DefaultRootWindow(dpy), window_name_.c_str()) != 0;
        if (!found)
            pause_ms(50);
    }
    XCloseDisplay(dpy);
    return found;
}

bool ShowRunner::send_close()
{
    Display* dpy = XOpenDisplay(display_.c_str());
    if (!dpy)
        return false;
    Window window = find_window(dpy, DefaultRootWindow(dpy), window_name_.c_str());
    bool sent = false;
    if (window) {
        XEvent event;
        std::memset(&event, 0, sizeof(event));
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        sent = XSendEvent(dpy, window, False, NoEventMask, &event) != 0;
        XFlush(dpy);
    }
    XCloseDisplay(dpy);
    return sent;
}

ShowResult ShowRunner::wait_exit(int timeout_ms)
{
    ShowResult result;
    auto deadline = deadline_in(timeout_ms);
    int status = 0;
    pid_t done = 0;
    while (show_pid_ > 0 && (done = waitpid(show_pid_, &status, WNOHANG)) == 0 && before(deadline))
        pause_ms(20);
    if (done == show_pid_) {
        show_pid_ = -1;
        result.exited = WIFEXITED(status);
        result.exit_code = result.exited ? WEXITSTATUS(status) : -1;
    } else {
        stop_show();
    }
    result.out = out();
    result.err = err();
    return result;
}

bool ShowRunner::show_ended() const
{
    if (show_pid_ <= 0)
        return true;
    // Looks without reaping, so wait_exit still gets the status.
    siginfo_t info;
    std::memset(&info, 0, sizeof(info));
    if (waitid(P_PID, id_t(show_pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return true;
    return info.si_pid != 0;
}

void ShowRunner::stop_show()
{
    if (show_pid_ <= 0)
        return;
    kill(show_pid_, SIGKILL);
    waitpid(show_pid_, nullptr, 0);
    show_pid_ = -1;
}

void ShowRunner::stop_server()
{
    if (server_pid_ <= 0)
        return;
    kill(server_pid_, SIGTERM);
    waitpid(server_pid_, nullptr, 0);
    server_pid_ = -1;
}
