// Resource search paths: turns the bare asset names used in code and data
// files into paths that can be opened. One global list (get_resource_path),
// filled at start-up and by each scene's load, never shrunk while the show
// runs, deleted by the exit handler.
#pragma once

#include <string>
#include <vector>

class cResourcePath
{
public:
    // Appends a directory (cleaned, with a "/" added when it has no trailing
    // separator). Duplicates are kept.
    void push_searchpath(std::string path);

    // The path to open for name: its absolute form when it opens as given
    // (relative to the working directory or absolute), else the first
    // directory of the list that holds its bare file name, joined with it;
    // an empty string when found nowhere or when name is too long for a path.
    std::string get_fullpath(std::string name);

    // Directory prefixes in the order they were added, each ending with "/".
    std::vector<std::string> paths;
};

// The global list, created on first use.
cResourcePath* get_resource_path();
// Deletes the global list (exit handler); a later get_resource_path makes a
// new, empty one.
void destroy_resource_path();
