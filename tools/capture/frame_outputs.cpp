#include "frame_outputs.h"

#include "schedule.h"
#include "toolkit/image.h"
#include "toolkit/image_files.h"

#include <csignal>
#include <cstdio>
#include <fstream>

namespace {

const toolkit::Rgba SHEET_BACKGROUND = toolkit::rgb8(16, 16, 20);
const toolkit::Rgba LABEL_COLOUR = toolkit::rgb8(220, 220, 220);
const int SHEET_PADDING = 4;
const int LABEL_SCALE = 2;
const int LABEL_HEIGHT = 5 * LABEL_SCALE + 4; // the font's 5 rows and a margin

std::vector<uint8_t> flip_rows(const std::vector<uint8_t>& rgb, int width, int height)
{
    std::vector<uint8_t> out(rgb.size());
    const std::size_t row = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y)
        std::copy(rgb.begin() + std::ptrdiff_t(row * y), rgb.begin() + std::ptrdiff_t(row * (y + 1)),
                  out.begin() + std::ptrdiff_t(row * (height - 1 - y)));
    return out;
}

// Box filter: each thumbnail pixel is the mean of the source pixels it covers.
std::vector<uint8_t> shrink(const std::vector<uint8_t>& top_down, int w, int h, int tw, int th)
{
    std::vector<uint8_t> out(std::size_t(tw) * th * 3);
    for (int ty = 0; ty < th; ++ty) {
        const int y0 = ty * h / th, y1 = (ty + 1) * h / th;
        for (int tx = 0; tx < tw; ++tx) {
            const int x0 = tx * w / tw, x1 = (tx + 1) * w / tw;
            unsigned sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    for (int k = 0; k < 3; ++k)
                        sum[k] += top_down[(std::size_t(y) * w + x) * 3 + k];
            const unsigned n = unsigned((y1 - y0) * (x1 - x0));
            for (int k = 0; k < 3; ++k)
                out[(std::size_t(ty) * tw + tx) * 3 + k] = uint8_t((sum[k] + n / 2) / n);
        }
    }
    return out;
}

void blit(toolkit::Canvas& sheet, const std::vector<uint8_t>& rgb, int w, int h, int x0, int y0)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[(std::size_t(y) * w + x) * 3];
            if (x0 + x < sheet.width() && y0 + y < sheet.height())
                sheet.at(x0 + x, y0 + y) = toolkit::rgb8(p[0], p[1], p[2]);
        }
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::string scene_label(int scene)
{
    if (scene < 0)
        return "s--";
    char buf[16];
    std::snprintf(buf, sizeof buf, "s%02d", scene);
    return buf;
}

} // namespace

bool write_png(const std::string& path, const std::vector<uint8_t>& rgb_top_down, int width, int height)
{
    return write_bytes(path, image_files::encode_png(rgb_top_down, width, height, 3));
}

bool cFrameOutputs::open(const capture_settings& s, int w, int h)
{
    settings = s;
    width = w;
    height = h;
    thumb_height = settings.thumb_width * height / width;
    if (settings.video.empty())
        return true;
    // A dead ffmpeg must show up as a failed write, not end the capture.
    std::signal(SIGPIPE, SIG_IGN);
    char size[32], rate[32], start[32];
    std::snprintf(size, sizeof size, "%dx%d", width, height);
    std::snprintf(rate, sizeof rate, "%g", settings.rate);
    std::snprintf(start, sizeof start, "%.3f", settings.video_start / 1000.0);
    const std::string command = std::string("ffmpeg -hide_banner -loglevel error -y") +
                                " -f rawvideo -pixel_format rgb24 -video_size " + size + " -framerate " + rate +
                                " -i - -ss " + start + " -i '" + settings.music + "'" +
                                " -map 0:v -map 1:a -c:v libx264 -pix_fmt yuv420p -crf 18 -c:a aac -b:a 192k" +
                                " -shortest '" + settings.video + "'";
    video = popen(command.c_str(), "w");
    if (!video) {
        std::fprintf(stderr, "capture: cannot start ffmpeg\n");
        return false;
    }
    return true;
}

bool cFrameOutputs::add(const std::vector<uint8_t>& rgb_bottom_up, int32_t time, int scene)
{
    const std::vector<uint8_t> top_down = flip_rows(rgb_bottom_up, width, height);
    ++frame_count;
    bool ok = true;
    if (!settings.frame_dir.empty()) {
        char name[64];
        std::snprintf(name, sizeof name, "/frame_%07d.png", int(time));
        if (!write_png(settings.frame_dir + name, top_down, width, height)) {
            std::fprintf(stderr, "capture: cannot write %s%s\n", settings.frame_dir.c_str(), name);
            ok = false;
        }
    }
    if (!settings.contact_sheet.empty())
        thumbnails.push_back({time, scene, shrink(top_down, width, height, settings.thumb_width, thumb_height)});
    if (video && std::fwrite(top_down.data(), 1, top_down.size(), video) != top_down.size()) {
        std::fprintf(stderr, "capture: ffmpeg stopped taking frames\n");
        ok = false;
    }
    return ok;
}

bool cFrameOutputs::finish()
{
    if (finished)
        return true;
    finished = true;
    bool ok = true;
    if (!settings.contact_sheet.empty()) {
        const int columns = settings.columns;
        const int rows = (int(thumbnails.size()) + columns - 1) / columns;
        const int cell_w = settings.thumb_width + SHEET_PADDING;
        const int cell_h = thumb_height + LABEL_HEIGHT + SHEET_PADDING;
        const int header = LABEL_HEIGHT + SHEET_PADDING;
        toolkit::Canvas sheet(columns * cell_w + SHEET_PADDING, header + rows * cell_h + SHEET_PADDING,
                              SHEET_BACKGROUND);
        std::string title = "mirvok";
        if (!thumbnails.empty())
            title += "  " + format_show_time(thumbnails.front().time) + " - " +
                     format_show_time(thumbnails.back().time) + "  " + std::to_string(thumbnails.size()) + " frames";
        sheet.pixel_text(SHEET_PADDING, SHEET_PADDING, title, LABEL_COLOUR, LABEL_SCALE);
        for (std::size_t i = 0; i < thumbnails.size(); ++i) {
            const int x = SHEET_PADDING + int(i % columns) * cell_w;
            const int y = header + SHEET_PADDING + int(i / columns) * cell_h;
            blit(sheet, thumbnails[i].rgb, settings.thumb_width, thumb_height, x, y);
            const std::string label =
                format_show_time(thumbnails[i].time) + " " + scene_label(thumbnails[i].scene);
            sheet.pixel_text(x, y + thumb_height + 3, label, LABEL_COLOUR, LABEL_SCALE);
        }
        if (!write_bytes(settings.contact_sheet,
                         image_files::encode_png(sheet.to_bytes(3), sheet.width(), sheet.height(), 3))) {
            std::fprintf(stderr, "capture: cannot write %s\n", settings.contact_sheet.c_str());
            ok = false;
        }
    }
    if (video) {
        if (pclose(video) != 0) {
            std::fprintf(stderr, "capture: ffmpeg failed on %s\n", settings.video.c_str());
            ok = false;
        }
        video = nullptr;
    }
    return ok;
}
