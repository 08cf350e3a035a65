#include "diagnostics.h"

#include "gl_ext.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <iostream>

std::string format_gl_error(const std::string& where, const std::string& error_text)
{
    // With a label the line has two spaces before it: "OpenGL " + " " + where.
    std::string line = "## ERROR: OpenGL ";
    if (!where.empty())
        line += " " + where;
    return line + ": " + error_text;
}

bool check_gl_error(std::string where)
{
    GLenum code = glGetError();
    if (code == GL_NO_ERROR)
        return false;
    const GLubyte* text = gluErrorString(code);
    std::cerr << format_gl_error(where, text ? reinterpret_cast<const char*>(text) : "unknown error")
              << std::endl;
    return true;
}

bool check_il_error()
{
    return check_il_error(std::string());
}

bool check_il_error(const std::string& file)
{
    ILenum code = ilGetError();
    if (code == IL_NO_ERROR)
        return false;
    while (code != IL_NO_ERROR) {
        const char* text = iluErrorString(code);
        std::cerr << "## ERROR: OpenIL Error " << code << ": " << (text ? text : "unknown error");
        if (!file.empty())
            std::cerr << " in \"" << file << "\"";
        std::cerr << std::endl;
        code = ilGetError();
    }
    return true;
}
