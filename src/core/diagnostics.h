// The show's two shared error checks. Diagnostics are single lines on the
// standard streams: errors and warnings on standard error, information on
// standard output, each line ended with a newline and a flush (std::endl).
#pragma once

#include <string>

// Reads one pending GL error (further queued errors stay queued for the next
// check) and, if there was one, writes
// "## ERROR: OpenGL[ <where>]: <gluErrorString>" to standard error.
// Returns whether an error was pending.
bool check_gl_error(std::string where);

// Reports every pending image library error, one line each, in the order the
// library hands them out. Returns whether at least one was pending.
bool check_il_error();
// The same, for errors that belong to one image file: each line ends with
// " in \"<file>\"" (nothing is added for an empty name).
bool check_il_error(const std::string& file);

// The GL error line without its newline (check_gl_error's wording).
std::string format_gl_error(const std::string& where, const std::string& error_text);
