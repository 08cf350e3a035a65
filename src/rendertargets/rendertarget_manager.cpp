#include "rendertarget_manager.h"

#include "core/diagnostics.h"
#include "core/display.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <vector>

namespace {

// Every manager alive. A handle that outlives its manager (kept past
// destroy_rendertarget_manager) would give its target back into freed
// memory; the check turns that into a clear stop. Each manager has a serial
// number of its own, so a new manager at a freed one's address is not taken
// for it; a map and not a flag, as tests make managers beside the global one.
std::map<const cRenderTargetManager*, uint64_t>& live_managers()
{
    // Never destroyed: the exit handler destroys the global manager after
    // static objects made later than its registration are gone.
    static auto* managers = new std::map<const cRenderTargetManager*, uint64_t>;
    return *managers;
}

uint64_t serial_of(const cRenderTargetManager* manager)
{
    auto it = live_managers().find(manager);
    return it == live_managers().end() ? 0 : it->second;
}

} // namespace

// --- handle ------------------------------------------------------------------

cTmpRenderTarget::cTmpRenderTarget() : size(RTT_NONE), manager(nullptr), manager_serial(0), target(nullptr) {}

cTmpRenderTarget::cTmpRenderTarget(RTT_SIZE size_, cRenderTargetManager* manager_, cRenderTarget_fbo* target_)
    : size(size_), manager(manager_), manager_serial(serial_of(manager_)), target(target_)
{
}

cTmpRenderTarget::cTmpRenderTarget(cTmpRenderTarget&& other) noexcept
    : size(other.size), manager(other.manager), manager_serial(other.manager_serial), target(other.target)
{
    other.target = nullptr;
}

cTmpRenderTarget& cTmpRenderTarget::operator=(cTmpRenderTarget&& other) noexcept
{
    if (this != &other) {
        reset();
        size = other.size;
        manager = other.manager;
        manager_serial = other.manager_serial;
        target = other.target;
        other.target = nullptr;
    }
    return *this;
}

cTmpRenderTarget::~cTmpRenderTarget()
{
    reset();
}

void cTmpRenderTarget::reset()
{
    if (target) {
        // Checked in every build type: the alternative is a write into freed
        // memory that shows up far from its cause.
        if (manager_serial == 0 || serial_of(manager) != manager_serial) {
            std::cerr << "## ERROR: cTmpRenderTarget::reset: a " << size_name(size)
                      << " target is given back after its render target manager was destroyed" << std::endl;
            std::abort();
        }
        manager->give_back(size, target);
        target = nullptr;
    }
}

// --- manager -----------------------------------------------------------------

std::string size_name(int32_t size)
{
    switch (size) {
    case RTT_DOUBLE:
        return "RTT_DOUBLE";
    case RTT_NONE:
        return "RTT_NONE";
    case RTT_FULL:
        return "RTT_FULL";
    case RTT_HALF:
        return "RTT_HALF";
    case RTT_QUATER:
        return "RTT_QUATER";
    default:
        return "OOOPS";
    }
}

cRenderTargetManager::cRenderTargetManager()
    : outstanding(0), max_outstanding(0), warn_on_allocation(false)
{
    static uint64_t last_serial = 0;
    live_managers()[this] = ++last_serial;
    // The set a frame needs at most, all held at once so that each is new.
    static const std::pair<RTT_SIZE, bool> preallocated[] = {
        {RTT_FULL, true},    {RTT_HALF, true},    {RTT_HALF, true},    {RTT_HALF, false},  {RTT_HALF, false},
        {RTT_QUATER, false}, {RTT_QUATER, false}, {RTT_QUATER, false}, {RTT_QUATER, true},
    };
    std::vector<cTmpRenderTarget> held;
    held.reserve(sizeof(preallocated) / sizeof(preallocated[0]));
    for (const auto& entry : preallocated)
        held.push_back(get_tmp_rt(entry.first, entry.second));
    warn_on_allocation = true;
    check_gl_error("cRenderTargetManager::cRenderTargetManager");
    // Give back in reverse order, the ninth first.
    while (!held.empty())
        held.pop_back();
}

cRenderTargetManager::~cRenderTargetManager()
{
    live_managers().erase(this);
    std::cout << "# rrt-manager: number of tmp-rt allocated: " << pooled_count() << std::endl;
    std::cout << "# rtt-manager: maximum concurrently allocated RTs: " << max_outstanding << std::endl;
    for (auto& entry : free_without_depth)
        delete entry.second;
    for (auto& entry : free_with_depth)
        delete entry.second;
    free_without_depth.clear();
    free_with_depth.clear();
}

uint32_t cRenderTargetManager::pooled_count() const
{
    return static_cast<uint32_t>(free_with_depth.size() + free_without_depth.size());
}

cTmpRenderTarget cRenderTargetManager::get_tmp_rt(RTT_SIZE size, bool with_depth)
{
    // Classes without a size would divide by zero or make a nonsense target.
    if (size == RTT_NONE || (size < 0 && size != RTT_DOUBLE)) {
        std::cerr << "## ERROR: cRenderTargetManager::get_tmp_rt: size class " << static_cast<int32_t>(size) << " ("
                  << size_name(size) << ") has no target size" << std::endl;
        return cTmpRenderTarget();
    }

    outstanding += 1;
    if (outstanding > max_outstanding)
        max_outstanding = outstanding;

    target_list& pool = with_depth ? free_with_depth : free_without_depth;
    for (auto it = pool.begin(); it != pool.end(); ++it) {
        if (it->first == size) {
            cRenderTarget_fbo* target = it->second;
            // The node waits for the target's return: a loan allocates nothing.
            spare_nodes.splice(spare_nodes.end(), pool, it);
            return cTmpRenderTarget(size, this, target);
        }
    }

    if (warn_on_allocation) {
        std::cout << "# performance-warning: allocated rendertarget runtime: " << size_name(size)
                  << (with_depth ? " with depth" : "") << std::endl;
    }
    const uint32_t window_width = static_cast<uint32_t>(get_display()->width);
    const uint32_t window_height = static_cast<uint32_t>(get_display()->height);
    cRenderTarget_fbo* target;
    if (size == RTT_DOUBLE) {
        target = new cRenderTarget_fbo(2 * window_width, 2 * window_height, with_depth);
    } else {
        const uint32_t divisor = static_cast<uint32_t>(size);
        target = new cRenderTarget_fbo(window_width / divisor, window_height / divisor, with_depth);
    }
    target->create();
    // Its node for the return, made with the target rather than at the return.
    spare_nodes.emplace_back(RTT_NONE, nullptr);
    return cTmpRenderTarget(size, this, target);
}

void cRenderTargetManager::give_back(RTT_SIZE size, cRenderTarget_fbo* target)
{
    outstanding -= 1;
    target_list& pool = target->has_depth() ? free_with_depth : free_without_depth;
    if (spare_nodes.empty())
        spare_nodes.emplace_back();
    spare_nodes.front() = std::make_pair(size, target);
    pool.splice(pool.end(), spare_nodes, spare_nodes.begin());
}

// --- the global manager --------------------------------------------------------

static cRenderTargetManager* g_rendertarget_manager = nullptr;

cRenderTargetManager* get_rendertarget_manager()
{
    if (!g_rendertarget_manager)
        g_rendertarget_manager = new cRenderTargetManager();
    return g_rendertarget_manager;
}

void destroy_rendertarget_manager()
{
    delete g_rendertarget_manager;
    g_rendertarget_manager = nullptr;
}
