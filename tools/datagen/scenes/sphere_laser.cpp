// The sphere laser scene's content: not made yet.
#include "generator.h"

bool generate_sphere_laser(DataContext&)
{
    return true;
}
