// The one shader registry of the show. It chooses the runtime's vertex and
// fragment profiles, owns the runtime context and every shader, registered
// by name, and binds shaders by name; nothing else enables profiles or
// touches the context. Created on first use by get_shader_container(),
// initialised at start-up before any scene loads, destroyed by the exit
// handler (destroy_shader_container), which also ends every shader.
//
// "null_shader" is reserved: it is never registered, and binding it means
// fixed function.
#pragma once

#include "platform/cg_runtime.h"
#include "shaders/cShader.h"

#include <cassert>
#include <iostream>
#include <map>
#include <stack>
#include <string>
#include <string_view>

class cShaderContainer_CG
{
public:
    cShaderContainer_CG();
    // Destroys the context (and with it every program), then the shaders.
    ~cShaderContainer_CG();

    // Chooses and reports both profiles, installs the error callback,
    // creates the context and unbinds. Ends the process (-1) when the
    // driver offers no vertex or no fragment profile.
    void init();

    // Makes the named shader current; "null_shader" unbinds. An unknown name
    // warns and keeps the previous shader in force. The name is looked up as
    // given, without building a string from it.
    void bind(std::string_view name);
    void unbind();

    // Bracket a temporary binding: push_shader(), bind(x), draw,
    // pop_shader() restores what was bound before.
    void push_shader();
    void pop_shader();

    // Creates a T (which compiles it) and registers it under name; a name
    // already registered warns and keeps the first shader.
    template <class T>
    void add_shader(std::string name)
    {
        assert(name != "null_shader" && "null_shader is reserved and never registered");
        if (shaders.count(name)) {
            std::cerr << "# WARNING: shader \"" << name << "\" already exists! Skipping..." << std::endl;
            return;
        }
        shaders[name] = new T(&context, vertex_profile, fragment_profile);
    }

    // Stores values on the named shader; they reach its programs at its next
    // bind. An unknown name warns and changes nothing.
    void set_parameters(std::string_view name, float a, float b = 0, float c = 0, float d = 0);

    // Writes the report for the runtime's pending error (if any) and ends
    // the process with -1. Installed as the runtime's error callback by init.
    void report_cg_error();

    CGcontext context; // null until init
    CGprofile vertex_profile;
    CGprofile fragment_profile;
    std::string current_shader; // name of the bound shader, "null_shader" for none
    std::map<std::string, cShader*, std::less<>> shaders; // found by any string type
    std::stack<std::string> shader_stack;
};

// The registry, created on first use.
cShaderContainer_CG* get_shader_container();
// Deletes it (exit handler); a later get_shader_container makes a new one.
void destroy_shader_container();
