// The shader runtime the show's shader code calls, under the names and
// contracts of the Cg runtime and its OpenGL layer, written over GLSL 1.20
// separable programs.
//
// What it owns: contexts (cgCreateContext .. cgDestroyContext), the programs
// compiled in them (one GL separable program each) and their parameters (one
// active uniform each), plus one GL program pipeline shared by all contexts.
// A program handle stays valid until cgDestroyProgram or until its context is
// destroyed; a parameter handle as long as its program. Destroying the last
// context deletes the pipeline and returns GL to fixed function.
//
// Profiles: CG_PROFILE_ARBVP1 (vertex stage) and CG_PROFILE_ARBFP1
// (fragment stage) are supported when the current GL context has GLSL 1.20
// and separable programs; every other profile is reported unsupported.
// Binding a program puts it on its stage of the pipeline; the pipeline is
// bound while at least one of the two profiles is enabled, with the stage of
// a disabled profile left empty. Disabling both returns to fixed function
// (glBindProgramPipeline(0), glUseProgram(0)).
//
// Errors: every failing call records its CGerror (read and cleared by
// cgGetError) and then calls the installed error callback, as the vendor
// runtime does. A compile error leaves the driver's info log as the
// context's last listing.
//
// Sampler uniforms: GLSL 1.20 has no way to name a texture unit in the
// source, so a sampler uniform whose name ends in a digit N (for example
// "texunit1") is set to texture unit N when its program is created; other
// samplers read unit 0. This stands in for Cg's TEXUNITn semantic.
//
// Everything runs on the thread that owns the GL context, with it current.
#pragma once

#include <cstdint>

struct _CGcontext;
struct _CGprogram;
struct _CGparameter;

typedef _CGcontext* CGcontext;
typedef _CGprogram* CGprogram;
typedef _CGparameter* CGparameter;
typedef int CGbool;

#define CG_FALSE 0
#define CG_TRUE 1

typedef enum {
    CG_PROFILE_UNKNOWN = 6145,
    CG_PROFILE_VP20 = 6146,
    CG_PROFILE_FP20 = 6147,
    CG_PROFILE_VP30 = 6148,
    CG_PROFILE_FP30 = 6149,
    CG_PROFILE_ARBVP1 = 6150,
    CG_PROFILE_FP40 = 6151,
    CG_PROFILE_ARBFP1 = 7000,
    CG_PROFILE_VP40 = 7001,
} CGprofile;

typedef enum {
    CG_UNKNOWN = 4096,
    CG_SOURCE = 4112,
    CG_OBJECT = 4113,
} CGenum;

typedef enum {
    CG_NO_ERROR = 0,
    CG_COMPILER_ERROR = 1,
    CG_INVALID_PARAMETER_ERROR = 2,
    CG_INVALID_PROFILE_ERROR = 3,
    CG_PROGRAM_LOAD_ERROR = 4,
    CG_PROGRAM_BIND_ERROR = 5,
    CG_PROGRAM_NOT_LOADED_ERROR = 6,
    CG_UNSUPPORTED_GL_EXTENSION_ERROR = 7,
    CG_INVALID_VALUE_TYPE_ERROR = 8,
    CG_INVALID_ENUMERANT_ERROR = 10,
    CG_FILE_READ_ERROR = 12,
    CG_INVALID_CONTEXT_HANDLE_ERROR = 16,
    CG_INVALID_PROGRAM_HANDLE_ERROR = 17,
    CG_INVALID_PARAM_HANDLE_ERROR = 18,
} CGerror;

typedef void (*CGerrorCallbackFunc)(void);

// --- contexts and errors -----------------------------------------------------

CGcontext cgCreateContext();
// Destroys every program created in the context, then the context.
void cgDestroyContext(CGcontext context);

// The callback runs inside the failing call, after the error is recorded.
// nullptr removes it. An error raised while the callback runs is recorded
// but does not call the callback again.
void cgSetErrorCallback(CGerrorCallbackFunc callback);
CGerrorCallbackFunc cgGetErrorCallback();
// The last error recorded; reading it resets it to CG_NO_ERROR.
CGerror cgGetError();
// A readable sentence for every code above ("Unknown error." otherwise).
const char* cgGetErrorString(CGerror error);
// The compiler's output of the context's last compile (the driver's info
// log, or a line naming the file that could not be read); nullptr when there
// is none or the context is not valid.
const char* cgGetLastListing(CGcontext context);

// --- programs ------------------------------------------------------------------

// Compiles the GLSL source file for the profile's stage. program_type must
// be CG_SOURCE; entry must be null or "main" (GLSL's entry); args are
// accepted and ignored. Returns nullptr after raising one of
// CG_INVALID_CONTEXT_HANDLE_ERROR, CG_INVALID_ENUMERANT_ERROR,
// CG_INVALID_PROFILE_ERROR, CG_FILE_READ_ERROR or CG_COMPILER_ERROR.
CGprogram cgCreateProgramFromFile(CGcontext context, CGenum program_type, const char* file, CGprofile profile,
                                  const char* entry, const char** args);
void cgDestroyProgram(CGprogram program);

// The parameter for the program's active uniform of that name; nullptr
// (without an error) when the program has none.
CGparameter cgGetNamedParameter(CGprogram program, const char* name);

// --- the OpenGL layer -------------------------------------------------------------

CGbool cgGLIsProfileSupported(CGprofile profile);
// Accepted for every profile; the driver's compiler has no options to set.
void cgGLSetOptimalOptions(CGprofile profile);
void cgGLEnableProfile(CGprofile profile);
void cgGLDisableProfile(CGprofile profile);

void cgGLLoadProgram(CGprogram program);
// Puts a loaded program on its stage of the pipeline.
void cgGLBindProgram(CGprogram program);
// The GL program object behind a program handle (0 for an invalid handle).
unsigned int cgGLGetProgramID(CGprogram program);

// Set a float uniform (float to vec4) of the parameter's program at once.
// Components the uniform has beyond those given are set to 0; those given
// beyond its size are dropped. A null or invalid handle raises
// CG_INVALID_PARAM_HANDLE_ERROR; a uniform that is not a float type raises
// CG_INVALID_VALUE_TYPE_ERROR.
void cgGLSetParameter1f(CGparameter parameter, float x);
void cgGLSetParameter2fv(CGparameter parameter, const float* v);
void cgGLSetParameter3fv(CGparameter parameter, const float* v);
void cgGLSetParameter4fv(CGparameter parameter, const float* v);
