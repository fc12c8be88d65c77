#include "fake_dependency.h"

unsigned tbxFakeDependency()
{
    return 0xFA00u;
}
