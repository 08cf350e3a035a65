// The data tool's shape: a list of generators, each writing some files of the
// release folder's data tree through a DataContext, which creates folders,
// writes the bytes and prints one progress line per file. Later content (the
// meshes, images and camera paths of the scenes) comes as more generators in
// the registry of generators.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class DataContext
{
public:
    explicit DataContext(std::string root, bool quiet = false);

    const std::string& root() const { return root_dir; }
    // Writes bytes to root/relative_path, creating folders; prints the file
    // and its size. False (with a message on standard error) on failure.
    bool write_file(const std::string& relative_path, const std::vector<uint8_t>& bytes);
    bool write_text(const std::string& relative_path, const std::string& text);
    // One progress line: "datagen [  2.1 s, cpu   3.5 s] what" (wall-clock
    // and processor seconds since the start, for the reader only).
    void progress(const std::string& what);

    int files_written() const { return files; }
    bool failed() const { return failure; }

private:
    std::string root_dir;
    bool quiet;
    int files = 0;
    bool failure = false;
    std::chrono::steady_clock::time_point started; // for the progress lines only
};

struct Generator
{
    const char* name;
    const char* what;               // one line for the listing
    bool (*run)(DataContext& data); // false: the data tree is incomplete
};

// Every generator, in the order they run.
const std::vector<Generator>& generators();

// Runs the generators whose names are in only (all when only is empty) into
// root. Returns the process exit code: 0, or 1 when any generator failed.
int run_generators(const std::string& root, const std::vector<std::string>& only, bool quiet = false);

// The generators (one source file each: score/gen_score.cpp, scenes/*.cpp).
bool generate_score(DataContext& data);
bool generate_loading_picture(DataContext& data);
bool generate_intro(DataContext& data);
bool generate_particles_pictures(DataContext& data);
bool generate_tangled(DataContext& data);
bool generate_particle_speaker(DataContext& data);
bool generate_greetings(DataContext& data);
bool generate_speaker(DataContext& data);
bool generate_town(DataContext& data);
bool generate_arcs(DataContext& data);
bool generate_sphere_laser(DataContext& data);
bool generate_womanbox(DataContext& data);
bool generate_wildspeaker(DataContext& data);
bool generate_vortex(DataContext& data);
bool generate_diamond(DataContext& data);
