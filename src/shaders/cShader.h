// The shader interface: one vertex and one fragment program compiled together
// and bound together. The rest of the show never holds a shader: the shader
// container (cShaderContainer_CG) creates, owns, binds and destroys every
// one, by name. cShader_CG implements this on the shader runtime; each shader
// of the show is a class derived from it.
#pragma once

#include <cstdint>
#include <iostream>
#include <string>

class cShader
{
public:
    // Compiles and loads both programs from the two source files. Returns
    // true; a failure ends the process.
    virtual bool load_from_files(std::string vertex_file, std::string fragment_file) = 0;
    // Binds both programs, then uploads the stored parameter values.
    virtual void bind() = 0;
    // Looks the shader's named parameters up in its freshly loaded programs.
    virtual void init_parameters() = 0;

    // Stores parameter values for the next bind. Shaders without parameters
    // keep this body, which only warns.
    virtual void set_parameters(float a, float b, float c, float d)
    {
        (void)a, (void)b, (void)c, (void)d;
        std::cerr << "# WARNING in " << __FILE__ << " line " << __LINE__
                  << ", set_parameters() not implemented for this shader!" << std::endl;
    }
    // Raw 32-bit values; no shader of the show takes them.
    virtual void set_parameters(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
    {
        (void)a, (void)b, (void)c, (void)d;
        std::cerr << "# WARNING in " << __FILE__ << " line " << __LINE__
                  << ", set_parameters() not implemented for this shader!" << std::endl;
    }
    // A matrix and its transform (GL enums); no shader of the show takes one.
    virtual void set_matrix_parameters(uint32_t matrix, uint32_t transform)
    {
        (void)matrix, (void)transform;
        std::cerr << "# WARNING in " << __FILE__ << " line " << __LINE__
                  << ", set_matrix_parameters() not implemented for this shader!" << std::endl;
    }

    // Hands the stored parameter values to the runtime (called by bind).
    virtual void apply_parameters() = 0;
    // Called by the container on the shader that stops being current.
    virtual void release_parameters() = 0;

    virtual ~cShader() {}
};
