#include "resource_path.h"

#include "platform/platform.h"

#include <iostream>

namespace {
cResourcePath* g_resource_path = nullptr;

void report_system_error(const char* where, const char* what, const std::string& name)
{
    std::cerr << "fatal - oops in " << where << " on " << what << " \"" << name
              << "\": " << platform_error_text(platform_last_error()) << std::endl;
}
} // namespace

cResourcePath* get_resource_path()
{
    if (!g_resource_path)
        g_resource_path = new cResourcePath;
    return g_resource_path;
}

void destroy_resource_path()
{
    delete g_resource_path;
    g_resource_path = nullptr;
}

void cResourcePath::push_searchpath(std::string path)
{
    platform_set_last_error(0);
    std::string canonical = platform_path_canonicalize(path);
    // Not fatal despite the wording: the path is still added.
    if (platform_last_error() != 0)
        report_system_error("cResourcePath::push_searchpath", "path", path);
    if (canonical.empty())
        canonical = path; // too long to clean: lookups through it fail as "not found"
    if (canonical.empty() || (canonical.back() != '/' && canonical.back() != '\\'))
        canonical += "/";
    paths.push_back(canonical);
}

std::string cResourcePath::get_fullpath(std::string name)
{
    platform_set_last_error(0);
    if (platform_file_readable(name)) {
        platform_set_last_error(0);
        std::string full = platform_full_path(name);
        if (platform_last_error() != 0)
            report_system_error("cResourcePath::get_fullpath", "file", name);
        return full;
    }
    std::string bare = platform_strip_path(name);
    if (!bare.empty()) {
        for (const std::string& dir : paths) {
            std::string candidate = dir + bare;
            if (platform_file_exists(candidate))
                return candidate;
        }
    }
    platform_set_last_error(0);
    return "";
}
