// Recorded camera flights. A cCameraPath holds camera keys (eye, point looked
// at, up vector) read from a ".pth" text file and gives, for a parameter t in
// [0, 1), the three vectors a scene hands to gluLookAt. Keys are evenly
// spaced along t; the last key is held up to t = 1.
//
// Scenes embed paths by value; a path is empty until load() and read-only
// afterwards.
#pragma once

#include <istream>
#include <string>
#include <vector>

struct cCameraKey
{
    // World axes: a file vector (x, y, z) is held as (x, z, -y).
    float position[3];
    float target[3];
    float up[3];
};

class cCameraPath
{
public:
    // Appends the keys of the file at full_path (a path from
    // cResourcePath::get_fullpath). False when the file cannot be opened; a
    // file without a complete key still gives true and adds nothing. Each of
    // these, a key cut short or unreadable, and a coordinate too large to
    // draw with, is warned about on standard error, naming the file.
    bool load(std::string full_path);
    // load() of the file the search paths find for name; a file not found is
    // named as asked for.
    bool load_found(const std::string& name);
    // Appends the keys read from a stream (the file format without the file).
    // Returns the line of the token where reading stopped early, 0 when it
    // read to the end.
    int read_keys(std::istream& in);

    // The vectors at t, written to out. An empty path gives (0, 0, 0).
    void get_position(float t, float out[3]) const;
    void get_target(float t, float out[3]) const;
    void get_up(float t, float out[3]) const;

    const std::vector<cCameraKey>& get_keys() const { return keys; }

private:
    // One evaluator for the three vectors; member selects which.
    void evaluate(float t, float (cCameraKey::*member)[3], float out[3]) const;

    std::vector<cCameraKey> keys; // in file order
};
