#include "platform.h"

#include <SDL/SDL.h>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <malloc.h>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

// --- process -------------------------------------------------------------

void platform_open_standard_streams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free descriptor: fd itself, as the lower
        // ones are open by now.
        int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

void platform_keep_heap()
{
    // Setting the mapping threshold also stops glibc from moving it by
    // itself; 32 MiB is the most it accepts on 64-bit systems.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}

bool platform_enter_exe_dir()
{
    std::vector<char> buf(PATH_MAX + 1, 0);
    ssize_t n = readlink("/proc/self/exe", buf.data(), PATH_MAX);
    if (n <= 0)
        return false;
    std::string exe(buf.data(), size_t(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return false;
    std::string dir = slash == 0 ? "/" : exe.substr(0, slash);
    return chdir(dir.c_str()) == 0;
}

// --- performance counter ----------------------------------------------------

namespace {

int64_t monotonic_us()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// Set during static initialisation, before main() runs.
const int64_t g_counter_origin = monotonic_us();

bool g_virtual = false;
int64_t g_virtual_counts = 0;

} // namespace

int64_t platform_counter()
{
    if (g_virtual)
        return g_virtual_counts;
    return monotonic_us() - g_counter_origin;
}

int64_t platform_counter_frequency()
{
    return 1000000;
}

void platform_use_virtual_counter(int64_t start_counts)
{
    g_virtual = true;
    g_virtual_counts = start_counts;
}

void platform_use_real_counter()
{
    g_virtual = false;
}

bool platform_counter_is_virtual()
{
    return g_virtual;
}

void platform_advance_virtual_counter(int64_t counts)
{
    g_virtual_counts += counts;
}

void platform_sleep(uint32_t ms)
{
    if (g_virtual)
        g_virtual_counts += int64_t(ms) * 1000;
    else
        SDL_Delay(ms);
}

// --- message box ------------------------------------------------------------

namespace {

bool program_on_path(const char* name)
{
    const char* path = getenv("PATH");
    if (!path)
        return false;
    std::string all(path);
    size_t begin = 0;
    while (begin <= all.size()) {
        size_t end = all.find(':', begin);
        if (end == std::string::npos)
            end = all.size();
        std::string candidate = all.substr(begin, end - begin) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        begin = end + 1;
    }
    return false;
}

// Runs argv and waits for it; the dialog programs return when dismissed.
void run_and_wait(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (pid > 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

void default_dialog(const std::string& text, const std::string& caption)
{
    const char* display = getenv("DISPLAY");
    if (!display || !*display)
        return;
    if (program_on_path("zenity"))
        run_and_wait({"zenity", "--error", "--no-wrap", "--title=" + caption, "--text=" + text});
    else if (program_on_path("xmessage"))
        run_and_wait({"xmessage", "-center", "-buttons", "OK", "-title", caption, text});
}

platform_dialog_fn g_dialog = default_dialog;

} // namespace

void platform_message_box(const std::string& text, const std::string& caption)
{
    std::cerr << caption << ": " << text << std::endl;
    g_dialog(text, caption);
}

void platform_set_dialog_hook(platform_dialog_fn fn)
{
    g_dialog = fn ? fn : default_dialog;
}

// --- paths -------------------------------------------------------------------

namespace {

bool is_separator(char c)
{
    return c == '/' || c == '\\';
}

bool too_long(const std::string& path)
{
    return path.size() >= size_t(PATH_MAX);
}

} // namespace

std::string platform_path_canonicalize(const std::string& path)
{
    if (too_long(path)) {
        errno = ENAMETOOLONG;
        return "";
    }
    if (path.empty())
        return "";
    const bool absolute = is_separator(path[0]);
    const bool trailing = is_separator(path.back());

    std::vector<std::string> parts;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && is_separator(path[i]))
            ++i;
        size_t begin = i;
        while (i < path.size() && !is_separator(path[i]))
            ++i;
        std::string part = path.substr(begin, i - begin);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part); // leading ".." stays
            continue;
        }
        parts.push_back(part);
    }

    std::string out = absolute ? "/" : "";
    for (size_t p = 0; p < parts.size(); ++p) {
        if (p)
            out += '/';
        out += parts[p];
    }
    if (out.empty())
        out = ".";
    if (trailing && out.back() != '/')
        out += '/';
    return out;
}

std::string platform_full_path(const std::string& path)
{
    if (too_long(path)) {
        errno = ENAMETOOLONG;
        return "";
    }
    if (!path.empty() && path[0] == '/')
        return platform_path_canonicalize(path);
    std::vector<char> cwd(PATH_MAX + 1, 0);
    if (!getcwd(cwd.data(), PATH_MAX))
        return "";
    std::string joined = std::string(cwd.data()) + "/" + path;
    if (too_long(joined)) {
        errno = ENAMETOOLONG;
        return "";
    }
    return platform_path_canonicalize(joined);
}

bool platform_file_exists(const std::string& path)
{
    if (path.empty() || too_long(path))
        return false;
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool platform_file_readable(const std::string& path)
{
    if (path.empty() || too_long(path))
        return false;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return access(path.c_str(), R_OK) == 0;
}

std::string platform_strip_path(const std::string& path)
{
    size_t last = path.find_last_of("/\\");
    return last == std::string::npos ? path : path.substr(last + 1);
}

// --- last system error (errno) ----------------------------------------------

void platform_set_last_error(int code)
{
    errno = code;
}

int platform_last_error()
{
    return errno;
}

std::string platform_error_text(int code)
{
    return std::strerror(code);
}

// --- C runtime random generator ----------------------------------------------

namespace {
uint32_t g_rand_state = 1;
}

int crt_rand()
{
    g_rand_state = g_rand_state * 214013u + 2531011u;
    return int((g_rand_state >> 16) & 0x7FFF);
}

void crt_srand(uint32_t seed)
{
    g_rand_state = seed;
}

uint32_t crt_rand_state()
{
    return g_rand_state;
}

// --- GL ---------------------------------------------------------------------

void* platform_gl_get_proc(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}
