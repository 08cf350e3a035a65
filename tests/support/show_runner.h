// Runs the real show (bin/mirvok of the build) or the capture tool on a
// private Xvfb server, sends it keys and a window close, and collects its
// exit code and output. Each runner owns its server and its program; both
// end with the runner. This is the one way tests start an X server and a
// show: a test skips only when start_server fails (no X server could be
// started at all); a show or capture that then fails, hangs or crashes is a
// failure of the test.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

struct ShowResult
{
    bool exited = false;  // false: still running at the deadline, or killed by a signal
    int exit_code = -1;   // 0..255 as the shell sees it (exit(-1) reads 255)
    std::string out;      // standard output
    std::string err;      // standard error
};

class ShowRunner
{
public:
    ShowRunner();
    ~ShowRunner();

    // Starts Xvfb (1024x768x24) on a free display, trying a few times. False
    // when no server could be started.
    bool start_server();
    // Starts the program (the show by default) on that display with
    // SDL_AUDIODRIVER=dummy and the extra "NAME=value" entries given, and
    // waits until its window is up or it has ended. Servers started side by
    // side now and then refuse the first client: a program that ends before
    // its window with a display error is started again on a fresh server
    // (the refusing one is kept, so its number stays taken). False when it
    // cannot be started or every server refused it.
    bool start_show(const std::string& program = "", const std::vector<std::string>& env = {});
    // Programs started from now on get descriptor fd (0, 1 or 2) closed, as
    // a launcher that closes the show's output does; -1 closes none.
    void close_descriptor(int fd) { closed_fd_ = fd; }
    // The same for any program of the build with arguments (bin/capture).
    bool start_program(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {});

    // Waits until the standard output (or error) holds text.
    bool wait_for_out(const std::string& text, int timeout_ms);
    bool wait_for_err(const std::string& text, int timeout_ms);

    // The title wait_for_window and send_close look for: "mirvok OpenGL"
    // unless a test of another program sets its own.
    void set_window_name(const std::string& name) { window_name_ = name; }
    // Waits until the program's window (see set_window_name) exists.
    bool wait_for_window(int timeout_ms);
    // xdotool key NAME ("space", "q", "Escape") on the server: press and
    // release at once, so both may reach the show in the same frame.
    bool send_key(const std::string& key);
    // A press and a release sent apart (xdotool keydown / keyup), for a key
    // held across frames as a person holds it.
    bool key_down(const std::string& key);
    bool key_up(const std::string& key);
    // Asks the show's window to close (WM_DELETE_WINDOW), as a window
    // manager's close button does.
    bool send_close();

    // Waits for the show to end and collects what it wrote; kills it when the
    // deadline passes.
    ShowResult wait_exit(int timeout_ms);

    std::string out() const;
    std::string err() const;
    const std::string& display() const { return display_; }

    // How long start_show waits for the window before it gives up waiting
    // (the program keeps running; the test decides).
    static const int START_MS = 60000;

private:
    bool wait_for(const std::string& file, const std::string& text, int timeout_ms);
    bool launch(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env);
    bool show_ended() const;
    void stop_show();
    void stop_server();

    std::vector<pid_t> refusing_servers_;
    pid_t server_pid_ = -1;
    pid_t show_pid_ = -1;
    int closed_fd_ = -1;
    std::string display_;
    std::string window_name_ = "mirvok OpenGL";
    std::string dir_; // temporary folder for the output files
};

// Waits for the child pid to end, killing it once timeout_ms has passed.
// Returns its exit code, or -1 when it was killed or ended by a signal.
int wait_child(pid_t pid, int timeout_ms);

// The release folder the tests run against.
std::string build_dir();
// The repository root the tests were built from.
std::string source_dir();
// ../shared/testdata beside the repository, or "" where it is absent.
std::string shared_testdata_dir();
// A fresh temporary directory (removed by the caller if it cares).
std::string make_temp_dir();
// A private copy of the release folder in a fresh temporary directory, for a
// test that gives the show files of its own: the programs named (copied, as
// each enters the folder of its own executable), the shaders and every data
// folder linked, except the data folders named, which are made empty. ""
// when the build has not made a program.
std::string make_private_release(const std::vector<std::string>& programs,
                                 const std::vector<std::string>& own_data_folders);
// Whole file as a string ("" if unreadable).
std::string read_text_file(const std::string& path);
// How many times piece occurs in text (overlapping occurrences counted).
std::size_t count_of(const std::string& text, const std::string& piece);
