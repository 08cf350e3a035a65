// A shader on the shader runtime (platform/cg_runtime.h): the common base of
// every shader class of the show. Constructed by the container with the
// address of its context and the two profiles it chose; each concrete
// class's constructor then calls load_from_files with its own two files, so
// creating a shader compiles it. The programs live until the shader is
// destroyed or, when the container's context goes first, with the context.
#pragma once

#include "platform/cg_runtime.h"
#include "shaders/cShader.h"

class cShader_CG : public cShader
{
public:
    cShader_CG(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile);
    ~cShader_CG() override;

    // Resolves both names through the search paths and compiles them. A
    // failure the runtime reports ends the process in the container's error
    // callback; one it does not report ends it here, naming the file as
    // passed, with status -1.
    bool load_from_files(std::string vertex_file, std::string fragment_file) override;
    void bind() override;

    CGcontext* context; // the container's context variable, read at each use
    CGprofile vertex_profile;
    CGprofile fragment_profile;
    CGprogram vertex_program;   // null until loaded
    CGprogram fragment_program; // null until loaded
};
