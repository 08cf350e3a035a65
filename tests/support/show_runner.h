// Runs the real show (bin/mirvok of the build) on a private Xvfb server,
// sends it keys and a window close, and collects its exit code and output.
// Each runner owns its server and its show process; both end with the runner.
#pragma once

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

    // Starts Xvfb (1024x768x24) on a free display. False when it cannot.
    bool start_server();
    // Starts the program (the show by default) on that display with
    // SDL_AUDIODRIVER=dummy and the extra "NAME=value" entries given.
    bool start_show(const std::string& program = "", const std::vector<std::string>& env = {});

    // Waits until the standard output (or error) holds text.
    bool wait_for_out(const std::string& text, int timeout_ms);
    bool wait_for_err(const std::string& text, int timeout_ms);

    // Waits until the show's window ("mirvok OpenGL") exists.
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

private:
    bool wait_for(const std::string& file, const std::string& text, int timeout_ms);
    bool show_ended() const;
    void stop_show();
    void stop_server();

    pid_t server_pid_ = -1;
    pid_t show_pid_ = -1;
    std::string display_;
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
// Whole file as a string ("" if unreadable).
std::string read_text_file(const std::string& path);
