#include "generator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

DataContext::DataContext(std::string root, bool quiet_)
    : root_dir(std::move(root)), quiet(quiet_), started(std::chrono::steady_clock::now())
{
}

static bool make_dirs(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool DataContext::write_file(const std::string& relative_path, const std::vector<uint8_t>& bytes)
{
    std::string path = root_dir + "/" + relative_path;
    size_t slash = path.rfind('/');
    FILE* f = nullptr;
    if (make_dirs(path.substr(0, slash)))
        f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(stderr, "## ERROR: datagen cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        failure = true;
        return false;
    }
    ++files;
    char line[512];
    std::snprintf(line, sizeof line, "wrote %s (%.1f KiB)", relative_path.c_str(), bytes.size() / 1024.0);
    progress(line);
    return true;
}

bool DataContext::write_text(const std::string& relative_path, const std::string& text)
{
    return write_file(relative_path, std::vector<uint8_t>(text.begin(), text.end()));
}

void DataContext::progress(const std::string& what)
{
    if (quiet)
        return;
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double cpu = (double)std::clock() / CLOCKS_PER_SEC;
    std::printf("datagen [%5.1f s, cpu %5.1f s] %s\n", s, cpu, what.c_str());
    std::fflush(stdout);
}

const std::vector<Generator>& generators()
{
    static const std::vector<Generator> list = {
        {"score", "music/kelmora.ogg, script/markers.txt and timeline.png from the score", generate_score},
        {"loading", "textures/loading.jpg, the loading picture", generate_loading_picture},
        {"intro", "models/mirvok_intro/: the logo, the backdrop, the blink strips and their textures", generate_intro},
        {"particles", "textures/qdr_pts_grid.jpg, white_spot.png and particle2.png", generate_particles_pictures},
        {"tangled", "models/tangled/: the knot and glowing_twirl_4.jpg", generate_tangled},
        {"particle_speaker", "models/particleSpeaker/: the silo, the speaker and its morph, pictures, 14 flights", generate_particle_speaker},
        {"greetings", "models/greetings/ and textures/greetings/: the room, screens, logos and 6 flights", generate_greetings},
        {"speaker", "models/sphere_speaker/: the room, balcony, speakers, cones, plates and baked light maps", generate_speaker},
        {"town", "models/town/: the town block and credits.png", generate_town},
        {"arcs", "models/colorArc/: the arc and diagram_overlays.jpg", generate_arcs},
        {"sphere_laser", "models/sphere_laser/: the sphere, Coca.jpg and ring.jpg", generate_sphere_laser},
        {"womanbox", "models/womanbox/: the greebled box, the logo and Solar_Vortex.jpg", generate_womanbox},
        {"wildspeaker", "models/wildspeaker/: the speaker ball, beams, plates and corridor", generate_wildspeaker},
        {"vortex", "models/vortex/: the arm, the stripe tube and its stripes", generate_vortex},
        {"diamond", "models/diamond/: the sixteen pieces of the diamond", generate_diamond},
    };
    return list;
}

int run_generators(const std::string& root, const std::vector<std::string>& only, bool quiet)
{
    DataContext data(root, quiet);
    for (const Generator& g : generators()) {
        if (!only.empty() && std::find(only.begin(), only.end(), g.name) == only.end())
            continue;
        data.progress(std::string(g.name) + ": " + g.what);
        if (!g.run(data) || data.failed()) {
            std::fprintf(stderr, "## ERROR: datagen generator %s failed\n", g.name);
            return 1;
        }
    }
    data.progress("done, " + std::to_string(data.files_written()) + " files in " + root);
    return 0;
}
