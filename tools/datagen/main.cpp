// datagen: writes the show's data tree (music, script, pictures, and later
// meshes, images and camera paths) from code. Same bytes on every run.
//
//   datagen [--only NAME]... [--list] OUTPUT_DIR
#include "generator.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static int usage()
{
    std::fprintf(stderr, "usage: datagen [--only NAME]... [--list] OUTPUT_DIR\n");
    return 2;
}

int main(int argc, char** argv)
{
    std::vector<std::string> only;
    std::string root;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--list") == 0) {
            for (const Generator& g : generators())
                std::printf("%-10s %s\n", g.name, g.what);
            return 0;
        }
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only.push_back(argv[++i]);
        else if (argv[i][0] == '-' || !root.empty())
            return usage();
        else
            root = argv[i];
    }
    if (root.empty())
        return usage();
    return run_generators(root, only);
}
