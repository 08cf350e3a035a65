// The wildspeaker scene's content: not made yet.
#include "generator.h"

bool generate_wildspeaker(DataContext&)
{
    return true;
}
