// The speaker scene's content: not made yet.
#include "generator.h"

bool generate_speaker(DataContext&)
{
    return true;
}
