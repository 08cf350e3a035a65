// The womanbox scene's content: not made yet.
#include "generator.h"

bool generate_womanbox(DataContext&)
{
    return true;
}
