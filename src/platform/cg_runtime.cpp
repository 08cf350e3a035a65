#include "cg_runtime.h"

#include "core/extensions.h"
#include "core/gl_ext.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

struct _CGparameter
{
    _CGprogram* program;
    GLint location;
    GLenum type; // GL uniform type (GL_FLOAT, GL_FLOAT_VEC2 ...)
    std::string name;
};

struct _CGprogram
{
    _CGcontext* context;
    CGprofile profile;
    GLuint id;   // separable GL program
    bool loaded; // set by cgGLLoadProgram; binding needs it
    std::vector<std::unique_ptr<_CGparameter>> parameters;
};

struct _CGcontext
{
    std::vector<_CGprogram*> programs;
    std::string listing;
    bool has_listing = false;
};

namespace {

const int STAGE_VERTEX = 0;
const int STAGE_FRAGMENT = 1;

struct runtime_state
{
    CGerror error = CG_NO_ERROR;
    CGerrorCallbackFunc callback = nullptr;
    bool in_callback = false;

    // Live handles: a handle is checked here before it is dereferenced, so a
    // stale or foreign pointer becomes an error instead of a wild read.
    std::set<_CGcontext*> contexts;
    std::set<_CGprogram*> programs;
    std::set<_CGparameter*> parameters;

    GLuint pipeline = 0;
    bool enabled[2] = {false, false};
    _CGprogram* bound[2] = {nullptr, nullptr};
};

runtime_state& rt()
{
    static runtime_state state;
    return state;
}

void raise_error(CGerror error)
{
    runtime_state& s = rt();
    s.error = error;
    if (!s.callback || s.in_callback)
        return;
    s.in_callback = true;
    s.callback();
    s.in_callback = false;
}

int stage_of(CGprofile profile)
{
    if (profile == CG_PROFILE_ARBVP1)
        return STAGE_VERTEX;
    if (profile == CG_PROFILE_ARBFP1)
        return STAGE_FRAGMENT;
    return -1;
}

bool valid_context(CGcontext context)
{
    return context && rt().contexts.count(context);
}

bool valid_program(CGprogram program)
{
    return program && rt().programs.count(program);
}

bool valid_parameter(CGparameter parameter)
{
    return parameter && rt().parameters.count(parameter);
}

// Puts the bound programs of the enabled profiles on the pipeline and binds
// it, or returns to fixed function when neither profile is enabled.
void sync_pipeline()
{
    runtime_state& s = rt();
    if (!s.enabled[STAGE_VERTEX] && !s.enabled[STAGE_FRAGMENT]) {
        glBindProgramPipeline(0);
        glUseProgram(0);
        return;
    }
    if (!s.pipeline)
        glGenProgramPipelines(1, &s.pipeline);
    const GLbitfield bits[2] = {GL_VERTEX_SHADER_BIT, GL_FRAGMENT_SHADER_BIT};
    for (int stage = 0; stage < 2; ++stage) {
        _CGprogram* p = s.enabled[stage] ? s.bound[stage] : nullptr;
        glUseProgramStages(s.pipeline, bits[stage], p ? p->id : 0);
    }
    glUseProgram(0); // a program in use would hide the pipeline
    glBindProgramPipeline(s.pipeline);
}

std::string trim_trailing_space(std::string text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

std::string program_info_log(GLuint id)
{
    GLint length = 0;
    glGetProgramiv(id, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1)
        return "";
    std::vector<char> log(size_t(length) + 1, 0);
    glGetProgramInfoLog(id, length, nullptr, log.data());
    return trim_trailing_space(log.data());
}

void set_listing(_CGcontext* context, const std::string& text)
{
    context->listing = text;
    context->has_listing = !text.empty();
}

bool is_sampler(GLenum type)
{
    switch (type) {
    case GL_SAMPLER_1D:
    case GL_SAMPLER_2D:
    case GL_SAMPLER_3D:
    case GL_SAMPLER_CUBE:
    case GL_SAMPLER_1D_SHADOW:
    case GL_SAMPLER_2D_SHADOW:
    case GL_SAMPLER_2D_RECT_ARB:
    case GL_SAMPLER_2D_RECT_SHADOW_ARB:
        return true;
    default:
        return false;
    }
}

int float_components(GLenum type)
{
    switch (type) {
    case GL_FLOAT:
        return 1;
    case GL_FLOAT_VEC2:
        return 2;
    case GL_FLOAT_VEC3:
        return 3;
    case GL_FLOAT_VEC4:
        return 4;
    default:
        return 0;
    }
}

// Calls fn(name, type) for each active uniform of the program.
template <class Fn>
void for_each_uniform(GLuint id, Fn fn)
{
    GLint count = 0;
    glGetProgramiv(id, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256] = {0};
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(id, GLuint(i), GLsizei(sizeof(name)), &length, &size, &type, name);
        fn(std::string(name, size_t(std::max(length, 0))), type);
    }
}

// Samplers named "...N" read texture unit N (the TEXUNITn stand-in).
void assign_sampler_units(GLuint id)
{
    for_each_uniform(id, [id](const std::string& name, GLenum type) {
        if (!is_sampler(type) || name.empty() || !std::isdigit(static_cast<unsigned char>(name.back())))
            return;
        GLint location = glGetUniformLocation(id, name.c_str());
        if (location >= 0)
            glProgramUniform1i(id, location, name.back() - '0');
    });
}

bool read_file(const char* path, std::string* text)
{
    if (!path || !platform_file_readable(path))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return !in.bad();
}

// major.minor at the start of a GL version string ("4.5 (Compatibility ...",
// "1.20", "4.50"); false when it does not start with one.
bool parse_version(const char* text, int* major, int* minor)
{
    return text && std::sscanf(text, "%d.%d", major, minor) == 2;
}

bool context_has_separable_glsl()
{
    int major = 0, minor = 0;
    if (!parse_version(reinterpret_cast<const char*>(glGetString(GL_VERSION)), &major, &minor))
        return false; // no current context
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    bool separable = major > 4 || (major == 4 && minor >= 1) ||
                     has_extension(extensions, "GL_ARB_separate_shader_objects");
    int sl_major = 0, sl_minor = 0;
    // "1.20" parses as minor 20, "4.5" as minor 5: compare on two digits.
    if (!parse_version(reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)), &sl_major,
                       &sl_minor))
        return false;
    if (sl_minor < 10)
        sl_minor *= 10;
    bool glsl_120 = sl_major > 1 || (sl_major == 1 && sl_minor >= 20);
    bool entry_points = glCreateShaderProgramv && glGenProgramPipelines && glBindProgramPipeline &&
                        glUseProgramStages && glProgramUniform1fv && glProgramUniform2fv && glProgramUniform3fv &&
                        glProgramUniform4fv && glProgramUniform1i && glGetProgramiv && glGetProgramInfoLog &&
                        glGetUniformLocation && glGetActiveUniform && glDeleteProgram && glUseProgram &&
                        glDeleteProgramPipelines;
    return separable && glsl_120 && entry_points;
}

void set_parameter(CGparameter parameter, const float* v, int count)
{
    if (!valid_parameter(parameter)) {
        raise_error(CG_INVALID_PARAM_HANDLE_ERROR);
        return;
    }
    if (!v) {
        raise_error(CG_INVALID_PARAMETER_ERROR);
        return;
    }
    int components = float_components(parameter->type);
    if (components == 0) {
        raise_error(CG_INVALID_VALUE_TYPE_ERROR);
        return;
    }
    float value[4] = {0, 0, 0, 0};
    std::copy(v, v + std::min(count, components), value);
    GLuint id = parameter->program->id;
    switch (components) {
    case 1:
        glProgramUniform1fv(id, parameter->location, 1, value);
        break;
    case 2:
        glProgramUniform2fv(id, parameter->location, 1, value);
        break;
    case 3:
        glProgramUniform3fv(id, parameter->location, 1, value);
        break;
    default:
        glProgramUniform4fv(id, parameter->location, 1, value);
        break;
    }
}

// Frees the program's GL object and handles; the caller unlinks it from its
// context.
void release_program(_CGprogram* program)
{
    runtime_state& s = rt();
    for (auto& parameter : program->parameters)
        s.parameters.erase(parameter.get());
    for (int stage = 0; stage < 2; ++stage) {
        if (s.bound[stage] == program) {
            s.bound[stage] = nullptr;
            if (s.enabled[stage])
                sync_pipeline();
        }
    }
    glDeleteProgram(program->id);
    s.programs.erase(program);
    delete program;
}

} // namespace

// --- contexts and errors ---------------------------------------------------------

CGcontext cgCreateContext()
{
    _CGcontext* context = new _CGcontext;
    rt().contexts.insert(context);
    return context;
}

void cgDestroyContext(CGcontext context)
{
    runtime_state& s = rt();
    if (!valid_context(context)) {
        raise_error(CG_INVALID_CONTEXT_HANDLE_ERROR);
        return;
    }
    for (_CGprogram* program : context->programs)
        release_program(program);
    s.contexts.erase(context);
    delete context;
    if (!s.contexts.empty())
        return;
    // Last context gone: back to fixed function, pipeline deleted.
    s.enabled[STAGE_VERTEX] = s.enabled[STAGE_FRAGMENT] = false;
    sync_pipeline();
    if (s.pipeline) {
        glDeleteProgramPipelines(1, &s.pipeline);
        s.pipeline = 0;
    }
}

void cgSetErrorCallback(CGerrorCallbackFunc callback)
{
    rt().callback = callback;
}

CGerrorCallbackFunc cgGetErrorCallback()
{
    return rt().callback;
}

CGerror cgGetError()
{
    CGerror error = rt().error;
    rt().error = CG_NO_ERROR;
    return error;
}

const char* cgGetErrorString(CGerror error)
{
    switch (error) {
    case CG_NO_ERROR:
        return "No error has occurred.";
    case CG_COMPILER_ERROR:
        return "The compile returned an error.";
    case CG_INVALID_PARAMETER_ERROR:
        return "The parameter used is invalid.";
    case CG_INVALID_PROFILE_ERROR:
        return "The profile is not supported.";
    case CG_PROGRAM_LOAD_ERROR:
        return "The program could not load.";
    case CG_PROGRAM_BIND_ERROR:
        return "The program could not bind.";
    case CG_PROGRAM_NOT_LOADED_ERROR:
        return "The program must be loaded before this operation may be used.";
    case CG_UNSUPPORTED_GL_EXTENSION_ERROR:
        return "An unsupported GL extension was required to perform this operation.";
    case CG_INVALID_VALUE_TYPE_ERROR:
        return "A value was set on a parameter that is not a float, float2, float3 or float4.";
    case CG_INVALID_ENUMERANT_ERROR:
        return "Invalid enumerant parameter.";
    case CG_FILE_READ_ERROR:
        return "The file could not be read.";
    case CG_INVALID_CONTEXT_HANDLE_ERROR:
        return "Invalid context handle.";
    case CG_INVALID_PROGRAM_HANDLE_ERROR:
        return "Invalid program handle.";
    case CG_INVALID_PARAM_HANDLE_ERROR:
        return "Invalid parameter handle.";
    }
    return "Unknown error.";
}

const char* cgGetLastListing(CGcontext context)
{
    // No error for an invalid context: the error callback calls this, and an
    // error raised here would only hide the one being reported.
    if (!valid_context(context) || !context->has_listing)
        return nullptr;
    return context->listing.c_str();
}

// --- programs -------------------------------------------------------------------------

CGprogram cgCreateProgramFromFile(CGcontext context, CGenum program_type, const char* file, CGprofile profile,
                                  const char* entry, const char** /*args*/)
{
    if (!valid_context(context)) {
        raise_error(CG_INVALID_CONTEXT_HANDLE_ERROR);
        return nullptr;
    }
    if (program_type != CG_SOURCE || (entry && std::string(entry) != "main")) {
        raise_error(CG_INVALID_ENUMERANT_ERROR);
        return nullptr;
    }
    int stage = stage_of(profile);
    if (stage < 0 || !cgGLIsProfileSupported(profile)) {
        raise_error(CG_INVALID_PROFILE_ERROR);
        return nullptr;
    }
    std::string source;
    if (!read_file(file, &source)) {
        set_listing(context, std::string("cannot read \"") + (file ? file : "") + "\"");
        raise_error(CG_FILE_READ_ERROR);
        return nullptr;
    }

    const char* text = source.c_str();
    GLuint id = glCreateShaderProgramv(stage == STAGE_VERTEX ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, 1, &text);
    GLint linked = GL_FALSE;
    std::string log;
    if (id) {
        glGetProgramiv(id, GL_LINK_STATUS, &linked);
        log = program_info_log(id);
    }
    set_listing(context, log.empty() ? "" : std::string(file) + ":\n" + log);
    if (!linked) {
        if (id)
            glDeleteProgram(id);
        if (log.empty())
            set_listing(context, std::string(file) + ": the driver rejected the program without a log");
        raise_error(CG_COMPILER_ERROR);
        return nullptr;
    }
    assign_sampler_units(id);

    _CGprogram* program = new _CGprogram{context, profile, id, false, {}};
    context->programs.push_back(program);
    rt().programs.insert(program);
    return program;
}

void cgDestroyProgram(CGprogram program)
{
    if (!valid_program(program)) {
        raise_error(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return;
    }
    std::vector<_CGprogram*>& list = program->context->programs;
    list.erase(std::remove(list.begin(), list.end(), program), list.end());
    release_program(program);
}

CGparameter cgGetNamedParameter(CGprogram program, const char* name)
{
    if (!valid_program(program)) {
        raise_error(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return nullptr;
    }
    if (!name)
        return nullptr;
    for (auto& parameter : program->parameters)
        if (parameter->name == name)
            return parameter.get();
    GLint location = glGetUniformLocation(program->id, name);
    if (location < 0)
        return nullptr; // not declared, or optimised away by the driver
    GLenum found_type = 0;
    std::string wanted = name, wanted_array = wanted + "[0]";
    for_each_uniform(program->id, [&](const std::string& uniform, GLenum type) {
        if (uniform == wanted || uniform == wanted_array)
            found_type = type;
    });
    program->parameters.push_back(std::unique_ptr<_CGparameter>(new _CGparameter{program, location, found_type, wanted}));
    rt().parameters.insert(program->parameters.back().get());
    return program->parameters.back().get();
}

// --- the OpenGL layer ------------------------------------------------------------

CGbool cgGLIsProfileSupported(CGprofile profile)
{
    return stage_of(profile) >= 0 && context_has_separable_glsl() ? CG_TRUE : CG_FALSE;
}

void cgGLSetOptimalOptions(CGprofile /*profile*/)
{
}

void cgGLEnableProfile(CGprofile profile)
{
    int stage = stage_of(profile);
    if (stage < 0) {
        raise_error(CG_INVALID_PROFILE_ERROR);
        return;
    }
    rt().enabled[stage] = true;
    sync_pipeline();
}

void cgGLDisableProfile(CGprofile profile)
{
    int stage = stage_of(profile);
    if (stage < 0) {
        raise_error(CG_INVALID_PROFILE_ERROR);
        return;
    }
    rt().enabled[stage] = false;
    sync_pipeline();
}

void cgGLLoadProgram(CGprogram program)
{
    if (!valid_program(program)) {
        raise_error(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return;
    }
    program->loaded = true; // linked at creation: nothing more to upload
}

void cgGLBindProgram(CGprogram program)
{
    if (!valid_program(program)) {
        raise_error(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return;
    }
    if (!program->loaded) {
        raise_error(CG_PROGRAM_NOT_LOADED_ERROR);
        return;
    }
    int stage = stage_of(program->profile);
    rt().bound[stage] = program;
    if (rt().enabled[stage])
        sync_pipeline();
}

unsigned int cgGLGetProgramID(CGprogram program)
{
    return valid_program(program) ? program->id : 0;
}

void cgGLSetParameter1f(CGparameter parameter, float x)
{
    set_parameter(parameter, &x, 1);
}

void cgGLSetParameter2fv(CGparameter parameter, const float* v)
{
    set_parameter(parameter, v, 2);
}

void cgGLSetParameter3fv(CGparameter parameter, const float* v)
{
    set_parameter(parameter, v, 3);
}

void cgGLSetParameter4fv(CGparameter parameter, const float* v)
{
    set_parameter(parameter, v, 4);
}
