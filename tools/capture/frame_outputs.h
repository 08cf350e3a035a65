// Where captured frames go: one PNG per frame, a contact sheet of labelled
// thumbnails, and a video made by ffmpeg with the music muxed in. Frames
// arrive as the GL reads them: RGB, rows from the bottom up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct capture_settings
{
    std::string frame_dir;     // "" for no frame files
    std::string contact_sheet; // "" for no sheet
    std::string video;         // "" for no video
    std::string music;         // the show's music file, muxed into the video
    double rate = 60.0;        // frames per second of show time
    int32_t video_start = 0;   // ms of show time of the video's first frame
    int columns = 10;          // thumbnails per sheet row
    int thumb_width = 128;     // pixels
};

class cFrameOutputs
{
public:
    // Starts ffmpeg when a video is asked for; false (with a message on
    // standard error) when it cannot be started.
    bool open(const capture_settings& settings, int width, int height);
    // One frame at a show time with the number of the scene current then
    // (-1 for none). False when a file or the video pipe fails.
    bool add(const std::vector<uint8_t>& rgb_bottom_up, int32_t time, int scene);
    // Writes the sheet and waits for ffmpeg. Safe twice. False on a failure.
    bool finish();

    int frames() const { return frame_count; }

private:
    void add_thumbnail(const std::vector<uint8_t>& rgb_bottom_up, int32_t time, int scene);

    capture_settings settings;
    int width = 0, height = 0;
    int frame_count = 0;
    FILE* video = nullptr;
    bool finished = false;
    struct thumbnail
    {
        int32_t time;
        int scene;
        std::vector<uint8_t> rgb; // top-down, thumb_width x thumb_height
    };
    std::vector<thumbnail> thumbnails;
    int thumb_height = 0;
};

// Writes a PNG file; false when it cannot be written.
bool write_png(const std::string& path, const std::vector<uint8_t>& rgb_top_down, int width, int height);
