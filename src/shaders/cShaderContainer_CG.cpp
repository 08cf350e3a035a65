#include "shaders/cShaderContainer_CG.h"

#include <cstdlib>

namespace {

cShaderContainer_CG* g_shader_container = nullptr;

// The container whose init installed the error callback: the callback takes
// no arguments, so this is how it finds the context and the bound shader.
cShaderContainer_CG* g_reporting_container = nullptr;

void cg_error_callback()
{
    if (g_reporting_container)
        g_reporting_container->report_cg_error();
}

struct profile_choice
{
    CGprofile profile;
    const char* name;
};

const profile_choice k_vertex_profiles[] = {
    {CG_PROFILE_VP40, "CG_PROFILE_VP40"},
    {CG_PROFILE_ARBVP1, "CG_PROFILE_ARBVP1"},
    {CG_PROFILE_VP20, "CG_PROFILE_VP20"},
};

const profile_choice k_fragment_profiles[] = {
    {CG_PROFILE_FP40, "CG_PROFILE_FP40"},
    {CG_PROFILE_ARBFP1, "CG_PROFILE_ARBFP1"},
    {CG_PROFILE_FP30, "CG_PROFILE_FP30"},
    {CG_PROFILE_FP20, "CG_PROFILE_FP20"},
};

// The first supported profile of the list, or nullptr.
template <size_t N>
const profile_choice* first_supported(const profile_choice (&choices)[N])
{
    for (const profile_choice& choice : choices)
        if (cgGLIsProfileSupported(choice.profile))
            return &choice;
    return nullptr;
}

} // namespace

cShaderContainer_CG* get_shader_container()
{
    if (!g_shader_container)
        g_shader_container = new cShaderContainer_CG;
    return g_shader_container;
}

void destroy_shader_container()
{
    delete g_shader_container;
    g_shader_container = nullptr;
}

cShaderContainer_CG::cShaderContainer_CG()
    : context(nullptr), vertex_profile(CG_PROFILE_UNKNOWN), fragment_profile(CG_PROFILE_UNKNOWN),
      current_shader("null_shader")
{
}

cShaderContainer_CG::~cShaderContainer_CG()
{
    if (context) {
        cgDestroyContext(context);
        context = nullptr; // tells the shaders their programs are gone
    }
    for (auto& entry : shaders)
        delete entry.second;
    shaders.clear();
    while (!shader_stack.empty())
        shader_stack.pop();
    current_shader.clear();
    if (g_reporting_container == this)
        g_reporting_container = nullptr;
}

void cShaderContainer_CG::init()
{
    // The profile report, including its failures, goes to standard output.
    const profile_choice* vertex = first_supported(k_vertex_profiles);
    if (!vertex) {
        std::cout << "## ERROR: No vertex-programming capabilities detected - exiting" << std::endl;
        exit(-1);
    }
    vertex_profile = vertex->profile;
    std::cout << "Chose cg_profile:\t" << vertex->name << std::endl;
    cgGLSetOptimalOptions(vertex_profile);

    const profile_choice* fragment = first_supported(k_fragment_profiles);
    if (!fragment) {
        std::cout << "ERROR: no fragment programming capabilities detected - exiting!" << std::endl;
        exit(-1);
    }
    fragment_profile = fragment->profile;
    std::cout << "Chose fragment_profile: " << fragment->name << std::endl;
    cgGLSetOptimalOptions(fragment_profile);

    g_reporting_container = this;
    cgSetErrorCallback(cg_error_callback);
    context = cgCreateContext();
    unbind();
}

void cShaderContainer_CG::report_cg_error()
{
    CGerror error = cgGetError();
    if (error == CG_NO_ERROR)
        return;
    const char* listing = cgGetLastListing(context);
    std::cerr << "\n---------------------------------------------------" << std::endl;
    std::cerr << cgGetErrorString(error) << std::endl;
    if (listing && *listing)
        std::cerr << listing << std::endl;
    std::cerr << "---------------------------------------------------" << std::endl;
    std::cerr << "last-shader: " << current_shader << std::endl;
    std::cerr << "Cg error, exiting..." << std::endl;
    exit(-1);
}

void cShaderContainer_CG::unbind()
{
    if (!context) {
        std::cerr << "## ERROR in " << __FILE__ << " line " << __LINE__ << ": no current CG-context available!"
                  << std::endl;
        return;
    }
    if (current_shader == "null_shader")
        return;
    shaders[current_shader]->release_parameters();
    current_shader = "null_shader";
    cgGLDisableProfile(vertex_profile);
    cgGLDisableProfile(fragment_profile);
}

void cShaderContainer_CG::bind(std::string_view name)
{
    if (name == "null_shader") {
        unbind();
        return;
    }
    if (current_shader != "null_shader") {
        shaders[current_shader]->release_parameters();
        cgGLDisableProfile(vertex_profile);
        cgGLDisableProfile(fragment_profile);
    }
    cgGLEnableProfile(vertex_profile);
    cgGLEnableProfile(fragment_profile);

    auto found = shaders.find(name);
    if (found == shaders.end()) {
        std::cerr << "#WARNING in " << "cShaderContainer_CG::bind" << ": trying to bind unknown shader: \"" << name
                  << "\"" << std::endl;
        // The previous shader stays in force: a bound one with its programs
        // still on the pipeline, or fixed function when none was bound (left
        // enabled, the profiles would run stale programs that no unbind()
        // could turn off, as unbind() sees "null_shader" and does nothing).
        if (current_shader == "null_shader") {
            cgGLDisableProfile(vertex_profile);
            cgGLDisableProfile(fragment_profile);
        }
        return;
    }
    current_shader = name;
    found->second->bind();
}

void cShaderContainer_CG::push_shader()
{
    shader_stack.push(current_shader);
}

void cShaderContainer_CG::pop_shader()
{
    if (shader_stack.empty()) {
        std::cerr << "#WARNING in cShaderContainer_CG::pop_shader: shader stack is empty, nothing to restore"
                  << std::endl;
        return;
    }
    bind(shader_stack.top());
    shader_stack.pop();
}

void cShaderContainer_CG::set_parameters(std::string_view name, float a, float b, float c, float d)
{
    auto found = shaders.find(name);
    if (found == shaders.end()) {
        std::cerr << "#WARNING in cShaderContainer_CG::set_parameters: trying to set parameters of unknown shader: \""
                  << name << "\"" << std::endl;
        return;
    }
    found->second->set_parameters(a, b, c, d);
}
