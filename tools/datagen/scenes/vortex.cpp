// The vortex scene's content: not made yet.
#include "generator.h"

bool generate_vortex(DataContext&)
{
    return true;
}
