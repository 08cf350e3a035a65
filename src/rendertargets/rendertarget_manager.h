// The pool of temporary render targets. cRenderTargetManager lends targets by
// size class (a fraction of the window size) and depth, and takes them back
// when the cTmpRenderTarget handle that carries the loan is destroyed or
// reassigned. Nine targets are made when the manager is constructed, so that
// frames normally allocate nothing; a target made later is logged as a
// performance warning and stays in the pool.
//
// One manager per process (get_rendertarget_manager), created on first use and
// destroyed by the exit handler (destroy_rendertarget_manager) after the
// scenes, when every handle has given its target back. A handle's target is
// valid until the handle gives it back.
#pragma once

#include "render_target.h"

#include <cstdint>
#include <list>
#include <string>
#include <utility>

// Size class: the divisor applied to the window size, except RTT_DOUBLE.
enum RTT_SIZE : int32_t {
    RTT_DOUBLE = -1, // twice the window width and height
    RTT_NONE = 0,    // no size; refused by get_tmp_rt
    RTT_FULL = 1,
    RTT_HALF = 2,
    RTT_QUATER = 4,
};

class cRenderTargetManager;

// Owns one loan: cannot be copied, only moved. Destroying or resetting a
// non-empty handle gives its target back to the manager; doing so after the
// manager was destroyed is a programming error that stops the process
// (abort, with one "## ERROR" line), in every build type.
class cTmpRenderTarget
{
public:
    cTmpRenderTarget();
    cTmpRenderTarget(RTT_SIZE size, cRenderTargetManager* manager, cRenderTarget_fbo* target);
    cTmpRenderTarget(cTmpRenderTarget&& other) noexcept;
    // Gives back the target this handle holds, then takes over other's.
    cTmpRenderTarget& operator=(cTmpRenderTarget&& other) noexcept;
    cTmpRenderTarget(const cTmpRenderTarget&) = delete;
    cTmpRenderTarget& operator=(const cTmpRenderTarget&) = delete;
    ~cTmpRenderTarget();

    // Gives the target back; the handle becomes empty.
    void reset();

    cRenderTarget_fbo* get() const { return target; }
    cRenderTarget_fbo* operator->() const { return target; }
    cRenderTarget_fbo& operator*() const { return *target; }
    bool empty() const { return target == nullptr; }
    RTT_SIZE size_class() const { return size; }

private:
    RTT_SIZE size;
    cRenderTargetManager* manager;
    uint64_t manager_serial; // which manager lent it, should another reuse its address
    cRenderTarget_fbo* target; // null when empty
};

class cRenderTargetManager
{
public:
    // Makes the nine pre-allocated targets (needs the GL context).
    cRenderTargetManager();
    // Writes the two statistics lines and deletes every pooled target.
    ~cRenderTargetManager();
    cRenderTargetManager(const cRenderTargetManager&) = delete;
    cRenderTargetManager& operator=(const cRenderTargetManager&) = delete;

    // Lends a target of the size class, with or without depth: the first
    // pooled one that fits, else a new one (logged once warnings are on).
    // RTT_NONE and negative classes other than RTT_DOUBLE have no size: they
    // are refused with an error line and an empty handle.
    cTmpRenderTarget get_tmp_rt(RTT_SIZE size, bool with_depth);

    // Targets currently lent out, and the most ever lent at once.
    uint32_t get_outstanding() const { return outstanding; }
    uint32_t get_max_outstanding() const { return max_outstanding; }
    // Targets waiting in the pool (every target made, when none is lent).
    uint32_t pooled_count() const;

private:
    friend class cTmpRenderTarget;
    // Called by the handle: appends the target to the back of its list.
    void give_back(RTT_SIZE size, cRenderTarget_fbo* target);

    typedef std::list<std::pair<RTT_SIZE, cRenderTarget_fbo*>> target_list;
    target_list free_with_depth;
    target_list free_without_depth;
    // One node per target lent out, moved (spliced) between these lists and
    // the pools, so that lending and giving back allocate nothing.
    target_list spare_nodes;
    uint32_t outstanding;
    uint32_t max_outstanding;
    bool warn_on_allocation; // false while the constructor pre-allocates
};

// "RTT_DOUBLE", "RTT_NONE", "RTT_FULL", "RTT_HALF", "RTT_QUATER"; "OOOPS" for
// any other value.
std::string size_name(int32_t size);

// The one manager, created on first call (needs the GL context).
cRenderTargetManager* get_rendertarget_manager();
// Deletes the manager (exit handler); safe when none was made. A later
// get_rendertarget_manager makes a fresh one.
void destroy_rendertarget_manager();
