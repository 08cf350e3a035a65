// mirvok: the show. Everything happens in demo_main(); it never returns, the
// show ends through exit() and the handler registered during start-up.
#include "core/demo.h"
#include "platform/platform.h"

int main(int, char**)
{
    platform_open_standard_streams();
    platform_keep_heap();
    platform_enter_exe_dir();
    return demo_main();
}
