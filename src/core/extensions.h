// The GL extension loader: tests the driver's extension string group by
// group, ends the show when a required extension is missing, warns about
// optional ones and fills the entry point pointers of gl_ext.h. Runs once,
// with the context current, as the first step of init_gl().
#pragma once

// Whole-word test: true when one space-separated word of extensions is
// exactly name. A word that merely starts with name does not count.
bool has_extension(const char* extensions, const char* name);

// Loads from the current context (its GL_EXTENSIONS string, SDL lookup).
void init_extensions();

// The same with the extension string and the lookup given, so the choice of
// groups can be exercised without a driver. Ends the process exactly as
// init_extensions() would.
typedef void* (*gl_proc_lookup_fn)(const char* name);
void init_extensions_from(const char* gl_extensions, gl_proc_lookup_fn lookup);
