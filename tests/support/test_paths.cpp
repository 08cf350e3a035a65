#include "show_runner.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

std::string build_dir()
{
    return MIRVOK_BUILD_DIR;
}

std::string source_dir()
{
    return MIRVOK_SOURCE_DIR;
}

std::string shared_testdata_dir()
{
    std::string dir = std::string(MIRVOK_SOURCE_DIR) + "/../shared/testdata";
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? dir : "";
}

std::string make_temp_dir()
{
    std::string pattern = "/tmp/mirvok-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    return mkdtemp(buf.data()) ? std::string(buf.data()) : "";
}

std::string make_private_release(const std::vector<std::string>& programs,
                                 const std::vector<std::string>& own_data_folders)
{
    namespace fs = std::filesystem;
    const fs::path build(build_dir());
    for (const std::string& program : programs)
        if (!fs::exists(build / "bin" / program))
            return "";
    const fs::path root(make_temp_dir());
    fs::create_directories(root / "bin");
    for (const std::string& program : programs)
        fs::copy_file(build / "bin" / program, root / "bin" / program);
    if (fs::exists(build / "src"))
        fs::create_directory_symlink(build / "src", root / "src");
    fs::create_directories(root / "data");
    for (const std::string& folder : own_data_folders)
        fs::create_directories(root / "data" / folder);
    if (fs::exists(build / "data"))
        for (const fs::directory_entry& entry : fs::directory_iterator(build / "data")) {
            const std::string name = entry.path().filename().string();
            if (std::find(own_data_folders.begin(), own_data_folders.end(), name) == own_data_folders.end())
                fs::create_symlink(entry.path(), root / "data" / name);
        }
    return root.string();
}

std::string read_text_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int wait_child(pid_t pid, int timeout_ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t count_of(const std::string& text, const std::string& piece)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}
